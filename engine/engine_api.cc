// The C entry points: each checks that the engine exists, finds the objects
// its handles name, and hands one integer result back.
#include <cstdlib>
#include <string>

#include "engine/api_support.h"
#include "engine/engine.h"
#include "qora/engine.h"

namespace qora {
namespace {

std::string DescribeEnvironment(const EngineEnvironment& env) {
  std::string text;
  auto line = [&text](const char* key, const std::string& value) {
    text += key;
    text += '=';
    text += value;
    text += '\n';
  };
  line("data_folder", env.data_folder());
  line("c_d", std::to_string(env.pair_window()));
  line("rel_per_sec", std::to_string(env.pairs_per_concept()));
  line("rel_per_subsec", std::to_string(env.pairs_per_subconcept()));
  line("stemmed_model", std::to_string(env.stemming()));
  line("stopword_file", env.stopword_file());
  line("db_archive", env.archive_file());
  line("doc_store_subfolder", env.store_subfolder());
  line("temp_docstore", env.temp_store_name());
  line("dictionary_words", std::to_string(env.dictionary().size()));
  line("stem_entries", std::to_string(env.stems().size()));
  line("stop_words", std::to_string(env.stop_words().size()));
  return text;
}

}  // namespace

}  // namespace qora

using qora::Engine;
using qora::EngineOr;
using qora::HandOut;
using qora::SetResult;
using qora::Text;

extern "C" {

void EngineFreeString(char* text) { std::free(text); }

// ---- Engine life and shared state ----

void EngineCreate(void) {
  qora::Guarded(nullptr, qora::kFailed, [] { qora::CreateEngine(); });
}

void EngineDestroy(void) {
  qora::Guarded(nullptr, qora::kFailed, [] { qora::DestroyEngine(); });
}

void EngineStart(const char* folder, const char* file, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, engine->Start(Text(folder), Text(file)));
  });
}

void EngineFinish(int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, engine->Finish());
  });
}

void EngineGetStatus(char** out, int* result) {
  qora::Guarded(result, qora::kFailed, {out}, [&] {
    Engine* engine = EngineOr(result, out);
    if (engine == nullptr) return;
    HandOut(engine->environment().EnvironmentGetStatus(), out);
    SetResult(result, 0);
  });
}

void EngineSetStop(int value, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    engine->environment().EnvironmentSetStop(value);
    SetResult(result, 0);
  });
}

void EngineReloadWordLists(int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    engine->environment().EnvironmentReloadWordLists();
    SetResult(result, 0);
  });
}

void EngineDeleteHandle(int handle, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, engine->DeleteObject(handle) ? 0 : 1);
  });
}

void EngineGetObjectName(int handle, char** out, int* result) {
  qora::Guarded(result, qora::kFailed, {out}, [&] {
    Engine* engine = EngineOr(result, out);
    if (engine == nullptr) return;
    const qora::RegisteredObject* object = engine->registry().Find(handle);
    HandOut(object == nullptr ? std::string() : object->name(), out);
    SetResult(result, object == nullptr ? 1 : 0);
  });
}

void EngineGetEnvironment(char** out, int* result) {
  qora::Guarded(result, qora::kFailed, {out}, [&] {
    Engine* engine = EngineOr(result, out);
    if (engine == nullptr) return;
    HandOut(qora::DescribeEnvironment(engine->environment()), out);
    SetResult(result, 0);
  });
}

}  // extern "C"
