#pragma once
// What the view asks of the frame around it: the one fact its painting needs
// and a refresh of the command states after a port changed by itself.
class IViewFrame {
public:
    // The standard toolbar is visible and docked (not floating).
    virtual bool IsStandardToolbarDocked() const = 0;
    // Enables and checks every command and refreshes the status panes.
    virtual void UpdateCommandUI() = 0;

protected:
    ~IViewFrame() = default;
};
