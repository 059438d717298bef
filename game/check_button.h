// CheckButton: a button of the options screen bound to one word of the
// settings (or the language flag); it flips the word on a click and shows the
// picture of its on or off state.
#pragma once

#include "gl_anim_button.h"

class CheckButton : public AnimButton {
public:
    // `value` is the bound word (1 on, 0 off), owned elsewhere; `on` and `off` are not owned.
    CheckButton(AnimWindow* window, DWORD id, DWORD* value, Graphic* on, Graphic* off);

    // Flips the bound word and shows the matching picture.
    void flip();
    bool isOn() const { return m_value && *m_value != 0; }
    // The picture of the current state.
    Graphic* current() const { return isOn() ? m_on : m_off; }

private:
    DWORD* m_value;
    Graphic* m_on;
    Graphic* m_off;
};

// Check buttons are registered under "CHECKBUTTON" and released with MEMDELETE.
#define NEW_CHECKBUTTON(args)                                                                                \
    static_cast<CheckButton*>(                                                                               \
        MemRegisterObject(new CheckButton args, sizeof(CheckButton), "CHECKBUTTON", __FILE__, __LINE__))
