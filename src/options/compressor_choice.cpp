#include "options/compressor_choice.h"

#include "common/fourcc.h"
#include "recording/frame_grab.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/message_box.h"

#include <optional>

namespace {
constexpr int kSampleWidth = 320;
constexpr int kSampleHeight = 200;
constexpr DWORD_PTR kQueryOnly = static_cast<DWORD_PTR>(-1);

OwnedCompressor OpenForQuery(const ICINFO& entry)
{
    return OwnedCompressor(ICOpen(entry.fccType, entry.fccHandler, ICMODE_QUERY));
}

bool AlreadyListed(const CompressorList& list, DWORD handler)
{
    for (int i = 0; i < list.count; ++i) {
        if (SameHandler(list.entries[static_cast<size_t>(i)].fccHandler, handler)) {
            return true;
        }
    }
    return false;
}
} // namespace

void BuildCompressorList(CompressorList& list, const BITMAPINFOHEADER& sample)
{
    list.count = 0;
    list.entries = {};
    for (DWORD i = 0; list.count < kMaxCompressors; ++i) {
        ICINFO& slot = list.entries[static_cast<size_t>(list.count)];
        if (!ICInfo(ICTYPE_VIDEO, i, &slot)) {
            break;
        }
        // Where ours stands in for the system's decode-only Video 1, both answer to "MSVC".
        if (AlreadyListed(list, slot.fccHandler)) {
            continue;
        }
        const OwnedCompressor compressor = OpenForQuery(slot);
        if (compressor && ICCompressQuery(compressor.get(), &sample, nullptr) == ICERR_OK) {
            ICGetInfo(compressor.get(), &slot, sizeof(slot));
            ++list.count;
        }
    }
    // The slot the last refused compressor was read into must not look like an entry.
    if (list.count < kMaxCompressors) {
        list.entries[static_cast<size_t>(list.count)] = ICINFO{};
    }
}

void RebuildCompressorList()
{
    const FramePtr sample(GrabFrame(0, 0, kSampleWidth, kSampleHeight, true));
    if (!sample) {
        Compressors().count = 0;
        return;
    }
    BuildCompressorList(Compressors(), *sample);
}

std::optional<CompressorDialogs> QueryCompressorDialogs(const ICINFO& entry)
{
    const OwnedCompressor compressor = OpenForQuery(entry);
    if (!compressor) {
        return std::nullopt;
    }
    CompressorDialogs dialogs;
    dialogs.about = ICSendMessage(compressor.get(), ICM_ABOUT, kQueryOnly, ICMF_ABOUT_QUERY) == ICERR_OK;
    dialogs.configure =
        ICSendMessage(compressor.get(), ICM_CONFIGURE, kQueryOnly, ICMF_CONFIGURE_QUERY) == ICERR_OK;
    return dialogs;
}

void ShowCompressorAbout(const ICINFO& entry, HWND owner)
{
    if (const OwnedCompressor compressor = OpenForQuery(entry)) {
        ICSendMessage(compressor.get(), ICM_ABOUT, reinterpret_cast<DWORD_PTR>(owner), 0);
    }
}

void ConfigureCompressor(const ICINFO& entry, HWND owner)
{
    const OwnedCompressor compressor = OpenForQuery(entry);
    if (!compressor) {
        return;
    }
    AppSettings& settings = Settings();
    if (static_cast<DWORD>(settings.CompressorStateIsFor) == entry.fccHandler && settings.g_compressorstate.valid()) {
        LockedGlobal state(settings.g_compressorstate.handle());
        if (state.data()) {
            ICSendMessage(compressor.get(), ICM_SETSTATE, reinterpret_cast<DWORD_PTR>(state.data()),
                          static_cast<DWORD_PTR>(settings.CompressorStateSize));
        }
    }
    ICSendMessage(compressor.get(), ICM_CONFIGURE, reinterpret_cast<DWORD_PTR>(owner), 0);

    const LRESULT size = ICSendMessage(compressor.get(), ICM_GETSTATE, 0, 0);
    if (size <= 0) {
        return;
    }
    settings.g_compressorstate.reset();
    settings.CompressorStateSize = 0;
    GlobalBlock block(static_cast<size_t>(size));
    LockedGlobal state(block.handle());
    if (!state.data()) {
        ShowNote(nullptr, LoadMessageText(ID_ERR_ALLOC_COMPRESS_PARAMETERS_FORMAT,
                                          "There is not enough memory for the compressor's settings."),
                 MB_OK | MB_ICONWARNING);
        return;
    }
    ICSendMessage(compressor.get(), ICM_GETSTATE, reinterpret_cast<DWORD_PTR>(state.data()),
                  static_cast<DWORD_PTR>(size));
    settings.g_compressorstate = std::move(block);
    settings.CompressorStateSize = static_cast<std::int32_t>(size);
    settings.CompressorStateIsFor = static_cast<std::int32_t>(entry.fccHandler);
}
