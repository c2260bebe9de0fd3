#include "audio/loopback_capture.h"

#include "audio/sample_conversion.h"

#include <windows.h>
#include <initguid.h>
#include <audioclient.h>
#include <functiondiscoverykeys_devpkey.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {
constexpr REFERENCE_TIME kBufferDuration = 10'000'000; // 1 s, in 100 ns units
constexpr DWORD kPollMilliseconds = 10;

template <typename T>
struct ComRelease {
    void operator()(T* object) const { object->Release(); }
};
template <typename T>
using Com = std::unique_ptr<T, ComRelease<T>>;

struct CoTaskFree {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

// The COM objects live on the capture thread, which opens them, reports whether loopback works
// and then waits to be started or stopped.
class LoopbackSound final : public ComputerSound {
public:
    LoopbackSound() { m_thread = std::thread([this] { Run(); }); }
    ~LoopbackSound() override { Stop(); }

    // Waits for the thread to open the output.
    bool Opened(std::string& outputName)
    {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [this] { return m_state != State::Opening; });
        outputName = m_outputName;
        return m_state == State::Ready;
    }

    Layout layout() const override { return m_layout; }
    std::string name() const override { return m_outputName + " (loopback)"; }

    bool Start(std::uint32_t startMs, Deliver deliver, std::function<void()> ended) override
    {
        std::lock_guard lock(m_lock);
        if (m_state != State::Ready) {
            return false;
        }
        m_startMs = startMs;
        m_deliver = std::move(deliver);
        m_ended = std::move(ended);
        m_state = State::Running;
        m_changed.notify_all();
        return true;
    }

    void Stop() override
    {
        {
            std::lock_guard lock(m_lock);
            m_state = State::Stopping;
            m_changed.notify_all();
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    enum class State { Opening, Failed, Ready, Running, Stopping };

    void Run()
    {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Com<IAudioClient> client;
        Com<IAudioCaptureClient> capture;
        const bool opened = Open(client, capture);
        bool started = false;
        {
            std::unique_lock lock(m_lock);
            if (m_state == State::Opening) {
                m_state = opened ? State::Ready : State::Failed;
            }
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_state == State::Running || m_state == State::Stopping; });
            started = m_state == State::Running;
        }
        if (started && client->Start() == S_OK) {
            Capture(*capture);
            client->Stop();
        }
        capture.reset();
        client.reset();
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
    }

    bool Open(Com<IAudioClient>& client, Com<IAudioCaptureClient>& capture)
    {
        IMMDeviceEnumerator* rawEnumerator = nullptr;
        if (CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                             reinterpret_cast<void**>(&rawEnumerator)) != S_OK) {
            return false;
        }
        const Com<IMMDeviceEnumerator> enumerator(rawEnumerator);
        IMMDevice* rawDevice = nullptr;
        if (enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &rawDevice) != S_OK) {
            return false;
        }
        const Com<IMMDevice> device(rawDevice);
        ReadName(*device);
        IAudioClient* rawClient = nullptr;
        if (device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&rawClient)) != S_OK) {
            return false;
        }
        client.reset(rawClient);
        WAVEFORMATEX* rawFormat = nullptr;
        if (client->GetMixFormat(&rawFormat) != S_OK) {
            return false;
        }
        const std::unique_ptr<WAVEFORMATEX, CoTaskFree> format(rawFormat);
        if (!ReadLayout(*format) ||
            client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK, kBufferDuration, 0, format.get(),
                               nullptr) != S_OK) {
            return false;
        }
        // Where the flag is accepted but a playback stream opened (Wine 8), there is nothing to capture.
        IAudioCaptureClient* rawCapture = nullptr;
        if (client->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&rawCapture)) != S_OK) {
            return false;
        }
        capture.reset(rawCapture);
        return true;
    }

    void ReadName(IMMDevice& device)
    {
        IPropertyStore* rawStore = nullptr;
        if (device.OpenPropertyStore(STGM_READ, &rawStore) != S_OK) {
            return;
        }
        const Com<IPropertyStore> store(rawStore);
        PROPVARIANT name;
        PropVariantInit(&name);
        if (store->GetValue(PKEY_Device_FriendlyName, &name) == S_OK && name.vt == VT_LPWSTR) {
            char text[256] = {};
            WideCharToMultiByte(CP_UTF8, 0, name.pwszVal, -1, text, sizeof(text) - 1, nullptr, nullptr);
            std::lock_guard lock(m_lock);
            m_outputName = text;
        }
        PropVariantClear(&name);
    }

    // Shared mode hands over the mix format: float or integer samples, any speakers.
    bool ReadLayout(const WAVEFORMATEX& format)
    {
        bool isFloat = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
        std::uint32_t mask = 0;
        if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format.cbSize >= 22) {
            const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
            // The sample format's subtype begins with its wave format tag.
            isFloat = extensible.SubFormat.Data1 == WAVE_FORMAT_IEEE_FLOAT;
            mask = extensible.dwChannelMask;
        }
        switch (format.wBitsPerSample) {
        case 8:
            m_kind = SampleKind::Unsigned8;
            break;
        case 16:
            m_kind = SampleKind::Signed16;
            break;
        case 24:
            m_kind = SampleKind::Signed24;
            break;
        case 32:
            m_kind = isFloat ? SampleKind::Float32 : SampleKind::Signed32;
            break;
        default:
            return false;
        }
        m_layout = {static_cast<int>(format.nSamplesPerSec), format.nChannels, mask};
        return format.nChannels > 0 && format.nSamplesPerSec > 0 && (!isFloat || format.wBitsPerSample == 32);
    }

    // Packets carry the performance counter's time of their first frame, in 100 ns units. While
    // nothing plays none come; the mix fills that time with silence.
    void Capture(IAudioCaptureClient& capture)
    {
        LARGE_INTEGER frequency{};
        LARGE_INTEGER counter{};
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&counter);
        const double startSeconds = static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart) -
                                    static_cast<std::int32_t>(timeGetTime() - m_startMs) / 1000.0;
        const auto channels = static_cast<std::size_t>(m_layout.channels);
        std::vector<float> frames;
        for (;;) {
            {
                std::unique_lock lock(m_lock);
                if (m_changed.wait_for(lock, std::chrono::milliseconds(kPollMilliseconds),
                                       [this] { return m_state == State::Stopping; })) {
                    return;
                }
            }
            UINT32 waiting = 0;
            HRESULT result = S_OK;
            while ((result = capture.GetNextPacketSize(&waiting)) == S_OK && waiting > 0) {
                BYTE* data = nullptr;
                UINT32 count = 0;
                DWORD flags = 0;
                UINT64 counterTime = 0;
                if ((result = capture.GetBuffer(&data, &count, &flags, nullptr, &counterTime)) != S_OK) {
                    break;
                }
                frames.assign(count * channels, 0.0f);
                if ((flags & AUDCLNT_BUFFERFLAGS_SILENT) == 0) {
                    SamplesToFloat(data, frames.size(), m_kind, frames.data());
                }
                capture.ReleaseBuffer(count);
                m_deliver(static_cast<double>(counterTime) * 1e-7 - startSeconds, frames.data(), count);
            }
            if (result == AUDCLNT_E_DEVICE_INVALIDATED || result == AUDCLNT_E_SERVICE_NOT_RUNNING) {
                m_ended();
                return;
            }
        }
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    State m_state = State::Opening;
    std::string m_outputName;
    Layout m_layout;
    SampleKind m_kind = SampleKind::Float32;
    std::uint32_t m_startMs = 0;
    Deliver m_deliver;
    std::function<void()> m_ended;
    std::thread m_thread; // last: it uses everything above
};
} // namespace

std::unique_ptr<ComputerSound> OpenLoopback(std::string& defaultOutput)
{
    auto loopback = std::make_unique<LoopbackSound>();
    return loopback->Opened(defaultOutput) ? std::move(loopback) : nullptr;
}
