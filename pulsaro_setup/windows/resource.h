#pragma once

// The program's icon, the done-mark: the first icon of the file, so it is also the one the shell
// shows for the program.
#define IDI_DONE_MARK 1
