// CheckButton: the bound word and its two pictures.
#include "check_button.h"

#include "cea_graphic.h"

namespace {

const DWORD kButtonStyle = abCENTERTEXT;
const LONG kButtonDepth = 50;

} // namespace

CheckButton::CheckButton(AnimWindow* window, DWORD id, DWORD* value, Graphic* on, Graphic* off)
    : AnimButton(window, id, kButtonStyle, kButtonDepth), m_value(value), m_on(on), m_off(off) {}

void CheckButton::flip() {
    if (m_value) *m_value = *m_value ? 0 : 1;
    Refresh();
}
