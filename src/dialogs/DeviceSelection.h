#pragma once
// Connects the device classes to their selection dialogs: CMIDIInDevice and
// CMIDIOutDevice::SelectDevice run dialogs 202 and 203 through these hooks.
// Called once at start-up, before any SelectDevice.
void InstallDeviceSelectionDialogs();
