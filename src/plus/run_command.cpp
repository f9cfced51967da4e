#include "plus/run_command.h"

#include <string>

#include "platform/process.h"
#include "settings/activity_log.h"

namespace tvr::plus {

void RunCommand::Run() {
  Output.clear();
  Failed = true;

  platform::Process program(CommandLine, {WorkingDirectory, CaptureOutput});
  if (program.pipe_error() != 0) {
    settings::LogActivity("CreatePipe failed. Error: " + std::to_string(program.pipe_error()));
  }
  if (!program.started()) return;

  // Between slices there are no pending events to process: this program has no window.
  for (int slice = 0; slice < wait_.count; ++slice) {
    if (program.Wait(wait_.length)) break;
  }

  if (program.output_captured()) Output = program.output();
  Failed = program.exit_code() != 0;
}

}  // namespace tvr::plus
