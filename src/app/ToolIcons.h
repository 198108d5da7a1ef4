#pragma once

#include <QIcon>

namespace esf {

enum class ToolGlyph {
    NewStudy,
    OpenStudy,
    ViewStudy,
    Leads,
    Filter,
    Speed,
    Gain,
    Start,
    Next,
    Stop,
    Recovery,
    SaveStrip
};

// Tool bar pictures drawn in code, so no image files need installing.
QIcon toolIcon(ToolGlyph glyph);

} // namespace esf
