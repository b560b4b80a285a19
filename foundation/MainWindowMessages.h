// Private messages that worker threads post to the main frame window.
// wParam carries the Fractal concerned where there is one.
#pragma once

enum MainWindowMessage {
    UM_NEW_MESSAGE = 1025,              // the message list has new entries
    UM_PARAMETERS_WRITTEN_BACK = 1026,
    UM_LAYER_LINES_DONE = 1027,
    UM_PROGRESS = 1028,
    UM_CALCULATION_DONE = 1029,
    UM_ANIMATION_STEP = 1030,
    UM_ATTRACTOR_VIEW = 1031,
    UM_RENDERJOB_DONE = 1032,
    UM_RENDERJOBS_CHANGED = 1033,
    UM_NEW_RANDOM_PARAMETERS = 1034,
    UM_QUATERNION_AUTO_VALUES = 1035,
    UM_QUATERNION_FOG_RANGE = 1036,
    UM_PARAMETER_FILES_READ = 1037,     // a load worker queued parameter files to list
};
