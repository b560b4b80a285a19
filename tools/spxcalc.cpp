// spxcalc: the calculation engine on the command line, headless.
//
//   spxcalc task [--type NAME] CMD...     commands to a windowless task
//   spxcalc dither --lookup | --size WxH FILE
//   spxcalc colour model|palette|map|othermap|alpha|merge ...
//   spxcalc render FILE --entry NAME [options]   calculates an entry
//   spxcalc bench [--path DIR]                    escape-time speed
//   spxcalc bench --type quaternion [FILE --entry NAME]   quaternion rays per second
//   spxcalc ifs-eval [--p1 V ... --p4 V] EXPR...
//   spxcalc formulas FILE... [--save-all ifs|lsystem OUT]
//   spxcalc load IMAGE [--path DIR] [--entry-out OUT]   an image with its entry
//   spxcalc job FILE --entry NAME --size WxH --temp DIR --dest DIR ...   a render job
//
// Each command's file in tools/spxcalc/ describes its arguments and output.
// Errors go to standard error with a non-zero exit code.
#include <stdio.h>
#include <string.h>

#include "tools/spxcalc/Commands.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: spxcalc task|dither|colour ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* command = argv[1];
    if (strcmp(command, "task") == 0) return RunTaskCommand(argc - 2, argv + 2);
    if (strcmp(command, "dither") == 0) return RunDitherCommand(argc - 2, argv + 2);
    if (strcmp(command, "colour") == 0) return RunColourCommand(argc - 2, argv + 2);
    if (strcmp(command, "render") == 0) return RunRenderCommand(argc - 2, argv + 2);
    if (strcmp(command, "bench") == 0) return RunBenchCommand(argc - 2, argv + 2);
    if (strcmp(command, "ifs-eval") == 0) return RunIfsEvalCommand(argc - 2, argv + 2);
    if (strcmp(command, "formulas") == 0) return RunFormulasCommand(argc - 2, argv + 2);
    if (strcmp(command, "load") == 0) return RunLoadCommand(argc - 2, argv + 2);
    if (strcmp(command, "job") == 0) return RunJobCommand(argc - 2, argv + 2);
    return Usage();
}
