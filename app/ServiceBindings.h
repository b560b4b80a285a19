// Binds the window and shell services of the lower layers to the
// application's windows. The program calls it at start-up; tests and the
// command-line tools call it too, so the logic reports as it does in the
// program (their message boxes stay scripted: the answerer is kept).
#pragma once

void BindApplicationServices();
