// The commands of spxcalc, one file each in this folder. Each takes the
// arguments after its command word and returns the process exit code.
#pragma once

#include <vector>

int RunTaskCommand(int argc, char** argv);
int RunDitherCommand(int argc, char** argv);
int RunColourCommand(int argc, char** argv);
int RunRenderCommand(int argc, char** argv);
int RunBenchCommand(int argc, char** argv);
// spxcalc bench --type attractor (AttractorCommands.cpp).
int RunAttractorBench(int argc, char** argv);
// spxcalc bench --type quaternion (QuaternionBench.cpp).
int RunQuaternionBench(int argc, char** argv);
// The IFS expression evaluator and the formula-file loader (IfsCommands.cpp).
int RunIfsEvalCommand(int argc, char** argv);
int RunFormulasCommand(int argc, char** argv);
int RunLoadCommand(int argc, char** argv);
// spxcalc job: one render job through its runner (JobCommand.cpp).
int RunJobCommand(int argc, char** argv);

// The colour subcommands that map values and merge layers (ColourMapCommands.cpp).
int RunColourMapCommand(int argc, char** argv);
int RunColourOtherMapCommand(int argc, char** argv);
int RunColourMergeCommand(int argc, char** argv);

// One knot of a SPEC argument.
struct SpecKnot {
    double x;
    double y;
};
// Reads a SPEC (one argument): knots as blank-separated "x:y", channels
// separated by '|'. Fills channels[0..maxChannels-1] (cleared first) and
// sets *channelCount to the number of channels given. False, with a message
// on stderr, for a malformed knot, an empty channel or more than
// maxChannels channels. (ColourCommand.cpp)
bool ParseKnotSpec(const char* spec, std::vector<SpecKnot> channels[], int maxChannels,
                   int* channelCount);
