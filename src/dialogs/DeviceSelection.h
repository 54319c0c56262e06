#pragma once
// Connects the device classes to their selection dialogs: installs dialogs 202
// and 203 as the IMidiDeviceDialogs service that CMIDIInDevice and
// CMIDIOutDevice::SelectDevice run. Called once at start-up, before any
// SelectDevice.
void InstallDeviceSelectionDialogs();
