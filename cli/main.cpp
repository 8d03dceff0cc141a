// The front program: lists, helps and tells its version without a window, otherwise hands
// over to the window program (which also syncs, without a window).
#include <cstdio>

#include "cli/terminal_listing.h"

int main(int argc, char** argv) {
  using namespace tavik;
  const FrontCommand command = parseFrontArguments(argc, argv);
  switch (command.action) {
    case FrontAction::Window:
    case FrontAction::Notify:
    case FrontAction::Sync:  // the window program syncs, without a window
      return startWindow(argv, stderr);
    case FrontAction::List:
      return runListing(stdout, stderr);
    case FrontAction::Help:
      std::fputs(helpText().c_str(), stdout);
      return 0;
    case FrontAction::Version:
      std::fputs(versionText().c_str(), stdout);
      return 0;
    case FrontAction::Invalid:
      std::fprintf(stderr, "tavik: %s.\nWeitere Informationen mit: tavik --help\n",
                   command.error.c_str());
      return 2;
  }
  return 2;
}
