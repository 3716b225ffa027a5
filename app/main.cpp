// Process entry: runs the automatic repair over the candidate folders and prints what
// it found. (The dialogue with the operator comes with the message service and window.)
#include <cstdio>

#include "app/Module1.h"

int main() {
  app::Tally tally;
  app::RepairAllInstallations(tally);
  std::printf("FoundCount=%d CorrectCount=%d Rewritten=%s\nFoundList:\n%s\n",
              static_cast<int>(tally.FoundCount), static_cast<int>(tally.CorrectCount),
              tally.Rewritten ? "true" : "false", tally.FoundList.c_str());
  return 0;
}
