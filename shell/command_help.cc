#include "shell/command_help.h"

#include <utility>

namespace qora {

const char kCommandOverview[] =
    "usage: qora [--data DIR] COMMAND [ARGUMENTS]\n"
    "       qora COMMAND --help     the arguments and options of COMMAND\n"
    "       qora --version          the version of qora\n"
    "\n"
    "commands:\n"
    "  serve [--port N] [--no-browser]\n"
    "                              start the application and open it in the browser\n"
    "  init DIR                    make the user data folder DIR from the installed data folder\n"
    "  info                        print the engine environment of the data folder\n"
    "  lib list [--xml]            list the libraries (--xml: every store, as the engine lists "
    "them)\n"
    "  lib new NAME                make a library; prints its identifier\n"
    "  lib merge NEWNAME LIB...    make NEWNAME from the documents of LIBs, then erase them\n"
    "  lib empty LIB               remove every document of LIB\n"
    "  lib erase LIB               remove LIB with all its files\n"
    "  lib process LIB [--full]    index LIB's new documents (all with --full)\n"
    "  lib repair                  rebuild every library from its documents\n"
    "  docs LIB [--start N] [--count N] [--xml]\n"
    "                              list the documents of LIB\n"
    "  docs rm LIB DOCID...        erase documents from LIB\n"
    "  research --lib LIB... (--keywords TEXT | --passage TEXT | --doc LIB:DOCID...)\n"
    "           [--count N] [--expand] [--xml]\n"
    "                              rank the documents of the libraries against the query\n"
    "  summary LIB:DOCID... [--keywords TEXT | --passage TEXT] [--bias PERCENT] [--xml]\n"
    "                              weigh the sentences of documents, biased to the query\n"
    "  map --lib LIB... (--keywords TEXT | --doc LIB:DOCID...) [--concepts N] [--phrases N]\n"
    "      [--xml]                 split the query into concepts with key phrases\n"
    "  add LIB FILE...             import HTML and PDF files into LIB and index them\n"
    "  add-folder LIB FOLDER [--depth N] [--max-kb N] [--max-docs N]\n"
    "                              import the files of FOLDER into LIB and index them\n"
    "  crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] [--max-docs N]\n"
    "        [--internal-only | --all-sites]\n"
    "                              crawl from the start addresses into LIB and index them\n"
    "  websearch LIB WORDS... [--engines 1,3] [--results N]\n"
    "                              search the internet and store the hits in LIB\n"
    "  quicksearch WORDS... [--engines 1,3] [--results N]\n"
    "                              list the hits of the search engines\n"
    "\n"
    "LIB is a library's name or identifier. An option marked ... takes every value\n"
    "up to the next option (--lib A B) and may also be repeated (--lib A --lib B).\n"
    "The data folder is DIR of --data, else $QORA_DATA, else $HOME/qoralibs.\n"
    "What a command line does not give comes from the user's settings file\n"
    "($QORA_SETTINGS, else $XDG_CONFIG_HOME/qora/settings.ini, else\n"
    "$HOME/.config/qora/settings.ini); `qora COMMAND --help` names each setting.\n";

HelpFormatter::HelpFormatter() {
  column_width(26);
  label("Positionals", "Arguments");
}

void HelpFormatter::SetUsage(const CLI::App* app, std::string usage) {
  usages_[app] = std::move(usage);
}

std::string HelpFormatter::Usage(const CLI::App* app) const {
  auto found = usages_.find(app);
  return found == usages_.end() ? std::string("qora ") + app->get_name() : found->second;
}

std::string HelpFormatter::make_usage(const CLI::App* app, std::string) const {
  return "usage: " + Usage(app) + "\n";
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name,
                                     CLI::AppFormatMode mode) const {
  if (app->get_parent() == nullptr) return kCommandOverview;
  if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
  return make_usage(app, name) + "\n" + make_description(app) + make_positionals(app) +
         make_groups(app, mode) + make_subcommands(app, mode);
}

}  // namespace qora
