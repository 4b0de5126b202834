#pragma once
// The toolbar and menu commands that choose a tool or reset a part of the
// view: their effect, and when their buttons are enabled and checked.

namespace v3d {

class ViewCore;

struct CommandState {
    bool enabled = false;
    bool checked = false;
};

// False when the command is not a tool command.
bool toolCommandState(ViewCore& view, int command, CommandState& state);
// The change mask of the command, or -1 when it is not a tool command.
int runToolCommand(ViewCore& view, int command);

}  // namespace v3d
