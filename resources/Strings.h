// The application's string table: every user-visible text by its id.
#pragma once

#include <QString>

// The text of string `id`, or an empty string when the table has none.
// Prompt strings of commands hold "status text\ntooltip".
QString LoadStringResource(int id);

// True when the table holds string `id`.
bool HasStringResource(int id);

// The status-bar prompt (before the newline) and the tooltip (after it) of
// a command's prompt string.
QString CommandPrompt(int commandId);
QString CommandTooltip(int commandId);
