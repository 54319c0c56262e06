#pragma once
// The state of one key of the pictured octave (display notes 60..72).
class CGUIKeySlot {
public:
    void SetPressed(bool pressed) { m_bPressed = pressed; }
    bool IsPressed() const { return m_bPressed; }

private:
    bool m_bPressed = false;
};
