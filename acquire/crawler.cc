#include "acquire/crawler.h"

#include <algorithm>

#include "acquire/crawl_addresses.h"
#include "acquire/crawl_run.h"

namespace qora {

Crawler::Crawler(DocumentStore* store, AnalysisEnvironment* environment)
    : store_(store),
      environment_(environment),
      run_(std::make_shared<CrawlRun>(environment, store->web().cache_folder)) {}

Crawler::~Crawler() { run_->Flush(); }

void Crawler::ReadSettings() { settings_.ReadCrawlIni(store_->ident(), *environment_); }

const CacheTable& Crawler::frontier() const { return run_->frontier(); }

int Crawler::queuedCount() const { return run_->queued_count(); }

int Crawler::LingeringWorkers() { return LingeringCrawlWorkers(); }

void Crawler::RenewRun() {
  auto fresh = std::make_shared<CrawlRun>(environment_, store_->web().cache_folder);
  fresh->CopyFrontierFrom(*run_);
  run_ = std::move(fresh);
}

void Crawler::TakeCounters() { run_->Report(&settings_); }

bool Crawler::QueueAddress(const std::string& address, int depth) {
  if (run_->abandoned()) RenewRun();
  return run_->QueueLocked(address, depth);
}

int Crawler::CrawlWeb(std::string_view startText, std::string_view parameterString) {
  if (startText.empty()) return -1;
  if (run_->abandoned()) RenewRun();
  run_->ClearFrontier();
  if (HoldsNoAddress(startText)) return -1;
  for (const std::string& address : StartAddresses(startText)) run_->QueueLocked(address, 0);
  settings_.ApplyCrawlParameters(parameterString);
  return RunCrawl();
}

int Crawler::RunCrawl() {
  if (run_->abandoned()) RenewRun();
  run_->Prepare(settings_);
  const int count = std::clamp(settings_.threadCount, 0, kMaxCrawlWorkers);
  abandoned_workers_ = run_->Run(count);
  prepared_ = false;
  TakeCounters();
  // The web table ends empty, as after every crawl; indexing reloads it.
  store_->web().table.Clear();
  return 0;
}

void Crawler::threadCrawlSingleURL(const std::string& address, int depth) {
  if (!prepared_ || run_->abandoned()) {
    if (run_->abandoned()) RenewRun();
    run_->Prepare(settings_);
    prepared_ = true;
  }
  WorkerDesk desk = run_->MakeDesk();
  run_->HandleAddress(address, depth, &desk);
  TakeCounters();
}

}  // namespace qora
