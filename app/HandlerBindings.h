// The application's side of the window toolkit's handler table.
#pragma once

// Fills g_UiHandlers with the application's handlers (the tool-window
// manager's included). Safe to call again.
void BindApplicationHandlers();
