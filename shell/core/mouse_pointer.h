#pragma once

namespace shell {

// A window's mouse pointer, numbered as the windows and the generation run speak of it.
enum class MousePointer {
    Default = 0,
    SizeAll = 5,     // the four-headed sizing arrow
    Hourglass = 11,  // busy: only the generation run sets it
    Custom = 99,     // the hand cursor, when its file was found
};

}  // namespace shell
