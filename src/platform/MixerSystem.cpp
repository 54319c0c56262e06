// The mixer the program's mixer code uses, and how the system's is put in place.
#include "platform/MixerBackend.h"

#include "platform/AlsaMixer.h"

namespace {

// What there is before start-up installs the system's mixer, and in every
// test that installs none: no mixer device, so nothing a test does reaches
// the machine's real volume.
class CNoMixerBackend : public IMixerBackend {
public:
    unsigned DeviceCount() override { return 0; }
    MMRESULT Open(uint32_t, uint32_t, std::unique_ptr<IMixerDevice>& device) override
    {
        device.reset();
        return MMSYSERR_BADDEVICEID;
    }
};

} // namespace

std::unique_ptr<IMixerBackend> ServiceDefault<IMixerBackend>::Make()
{
    return std::make_unique<CNoMixerBackend>();
}

namespace MixerSystem {

void InstallSystemMixer()
{
    CService<IMixerBackend>::Install(std::make_unique<CAlsaMixerBackend>());
}

} // namespace MixerSystem
