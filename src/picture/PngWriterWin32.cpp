// The PNG writer of the Windows builds, which have no libpng: Windows' own encoder, the Windows Imaging Component
// (WIC), takes the rows a band at a time and writes through a stream over the replacing output, so the picture is
// never held whole and a failure or a signal leaves an existing file as it was.

#include <windows.h>
#include <objidl.h>
#include <ocidl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "picture/PngWriter.h"

namespace gridport {

namespace {

// A band of rows handed to the encoder at once: at most this many bytes, but at least one row.
constexpr std::size_t kBandBytes = std::size_t{1} << 18;

// Owns one reference to a COM object, released when it goes.
template <typename T>
class ComPointer {
public:
    ComPointer() = default;
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer() {
        if (object_ != nullptr) {
            object_->Release();
        }
    }

    T** Out() { return &object_; }  // for a call that hands back a new reference; only on an empty holder
    void** OutVoid() { return reinterpret_cast<void**>(&object_); }
    T* operator->() const { return object_; }
    T* Get() const { return object_; }

private:
    T* object_ = nullptr;
};

// COM on this thread while it lives. A thread already in another apartment keeps that one, which serves as well.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    HRESULT Result() const { return result_ == RPC_E_CHANGED_MODE ? S_OK : result_; }

private:
    HRESULT result_;
};

// The encoder's stream: every byte goes through the File, keeping the first failure's reason. It lives on WritePng's
// stack and outlives every object that holds it, so its reference count is kept only as COM expects.
class FileStream final : public IStream {
public:
    explicit FileStream(File& file) : file_(file) {}
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    const std::optional<Error>& Failure() const { return failure_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) || IsEqualIID(iid, IID_IStream)) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* done) override {
        if (done != nullptr) {
            *done = 0;
        }
        Expected<std::size_t> got = file_.Read(buffer, count);
        if (!got) {
            return Fail(got.error());
        }
        Moved(*got);
        if (done != nullptr) {
            *done = static_cast<ULONG>(*got);
        }
        return *got == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG count, ULONG* done) override {
        if (done != nullptr) {
            *done = 0;
        }
        if (failure_) {
            return STG_E_WRITEFAULT;
        }
        if (Expected<void> written = file_.Write(data, count); !written) {
            return Fail(written.error());
        }
        Moved(count);
        if (done != nullptr) {
            *done = count;
        }
        return S_OK;
    }
    // The position and size are counted here, so that asking where the stream is works on a pipe too; only a real
    // move reaches the file.
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        std::uint64_t base = 0;
        if (origin == STREAM_SEEK_CUR) {
            base = position_;
        } else if (origin == STREAM_SEEK_END) {
            base = end_;
        } else if (origin != STREAM_SEEK_SET) {
            return STG_E_INVALIDFUNCTION;
        }
        if (move.QuadPart < 0 && static_cast<std::uint64_t>(-(move.QuadPart + 1)) >= base) {
            return STG_E_INVALIDFUNCTION;  // before the start
        }
        const std::uint64_t target = base + static_cast<std::uint64_t>(move.QuadPart);
        if (target != position_) {
            if (Expected<void> moved = file_.Seek(target); !moved) {
                return Fail(moved.error());
            }
            position_ = target;
        }
        if (position != nullptr) {
            position->QuadPart = target;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD /*flags*/) override {
        if (stat == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = end_;
        stat->grfMode = STGM_WRITE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD /*flags*/) override { return S_OK; }  // the output commits itself, later
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER /*size*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        if (copy != nullptr) {
            *copy = nullptr;
        }
        return E_NOTIMPL;
    }

private:
    void Moved(std::uint64_t bytes) {
        position_ += bytes;
        end_ = std::max(end_, position_);
    }
    HRESULT Fail(const Error& error) {
        if (!failure_) {
            failure_ = error;
        }
        return STG_E_WRITEFAULT;
    }

    File& file_;  // new and empty when given
    std::uint64_t position_ = 0;
    std::uint64_t end_ = 0;
    ULONG references_ = 1;
    std::optional<Error> failure_;
};

// "cannot encode the picture: Windows' PNG encoder refused to start (0x88982F50)"
Error EncoderFailure(const std::string& path, const char* step, HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return Error(ErrorKind::Output, path,
                 std::string("cannot encode the picture: Windows' PNG encoder ") + step + " (" + code + ")");
}

// Asks for the Sub filter on every row, as the native writer uses: the fastest to choose, and about as small. An
// encoder that doesn't know the option writes its own choice, which is still a correct PNG.
void PreferSubFilter(IPropertyBag2* options) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"FilterOption");
    VARIANT value{};  // VT_EMPTY, as VariantInit leaves it
    value.vt = VT_UI1;
    value.bVal = WICPngFilterSub;
    static_cast<void>(options->Write(1, &option, &value));
}

}  // namespace

Expected<void> WritePng(std::uint32_t width, std::uint32_t height, const PngRowSource& rows, const std::string& path,
                        FileSystem& fileSystem, PngUse /*use*/) {
    const std::uint64_t rowBytes = std::uint64_t{width} * 4;
    if (rowBytes > std::numeric_limits<UINT>::max()) {  // a band's size is a 32-bit count for the encoder
        return Error(ErrorKind::Limit, path, "the picture is too wide for Windows' PNG encoder");
    }
    Expected<std::unique_ptr<OutputFile>> file = fileSystem.OpenOutput(path);
    if (!file) {
        return file.error();
    }
    const ComScope com;
    if (FAILED(com.Result())) {
        return EncoderFailure(path, "can't start (COM)", com.Result());
    }
    // Declared before the encoder, which holds it until released.
    FileStream stream(**file);
    ComPointer<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      factory.OutVoid());
    if (FAILED(result)) {
        return EncoderFailure(path, "is missing", result);
    }
    ComPointer<IWICBitmapEncoder> encoder;
    if (result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()); FAILED(result)) {
        return EncoderFailure(path, "is missing", result);
    }
    // Whatever fails after the stream is given out, a failed write's own reason comes first.
    auto failed = [&](const char* step, HRESULT code) -> Error {
        return stream.Failure() ? *stream.Failure() : EncoderFailure(path, step, code);
    };
    if (result = encoder->Initialize(&stream, WICBitmapEncoderNoCache); FAILED(result)) {
        return failed("refused the output", result);
    }
    ComPointer<IWICBitmapFrameEncode> frame;
    ComPointer<IPropertyBag2> options;
    if (result = encoder->CreateNewFrame(frame.Out(), options.Out()); FAILED(result)) {
        return failed("refused a picture", result);
    }
    if (options.Get() != nullptr) {
        PreferSubFilter(options.Get());
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppRGBA;
    if (result = frame->Initialize(options.Get()); SUCCEEDED(result)) {
        result = frame->SetSize(width, height);
    }
    if (SUCCEEDED(result)) {
        result = frame->SetPixelFormat(&format);
    }
    if (FAILED(result)) {
        return failed("refused the picture's size or pixels", result);
    }
    // The encoder answers with the nearest format it writes: RGBA as drawn, or BGRA where it has no RGBA.
    const bool swapRedBlue = IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA);
    if (!swapRedBlue && !IsEqualGUID(format, GUID_WICPixelFormat32bppRGBA)) {
        return failed("has no 8-bit RGBA pixels", WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT);
    }
    const std::uint64_t rowsThatFit = kBandBytes / std::max<std::uint64_t>(rowBytes, 1);
    const auto bandRows = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rowsThatFit, 1, std::max(height, 1u)));
    std::vector<std::uint8_t> band(static_cast<std::size_t>(rowBytes * bandRows));
    std::uint32_t filled = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        Expected<const std::uint8_t*> row = rows(y);
        if (!row) {
            return row.error();
        }
        std::uint8_t* to = band.data() + filled * rowBytes;
        std::memcpy(to, *row, static_cast<std::size_t>(rowBytes));
        if (swapRedBlue) {
            for (std::uint8_t* pixel = to; pixel != to + rowBytes; pixel += 4) {
                std::swap(pixel[0], pixel[2]);
            }
        }
        if (++filled == bandRows || y + 1 == height) {
            result = frame->WritePixels(filled, static_cast<UINT>(rowBytes), static_cast<UINT>(filled * rowBytes),
                                        band.data());
            if (FAILED(result)) {
                return failed("failed on a band of rows", result);
            }
            filled = 0;
        }
    }
    if (result = frame->Commit(); SUCCEEDED(result)) {
        result = encoder->Commit();
    }
    if (FAILED(result)) {
        return failed("couldn't finish the file", result);
    }
    return (*file)->Commit();
}

}  // namespace gridport
