// A colour as the windows get it: red, green and blue from 0 to 255.
#pragma once

namespace zorvast::common {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

} // namespace zorvast::common
