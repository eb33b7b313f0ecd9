// The PNG writer of the Windows builds, which have no libpng: Windows' own encoder, the Windows Imaging Component
// (WIC), takes the rows a band at a time and writes through a stream over the replacing output, so the picture is
// never held whole and a failure or a signal leaves an existing file as it was.

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "picture/PngWriter.h"
#include "picture/WicWin32.h"

namespace gridport {

namespace {

// "cannot encode the picture: Windows' PNG encoder refused to start (0x88982F50)"
Error EncoderFailure(const std::string& path, const char* step, HRESULT result) {
    return Error(ErrorKind::Output, path,
                 std::string("cannot encode the picture: Windows' PNG encoder ") + step + " (" + HresultText(result) +
                     ")");
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
    FileStream stream(**file, STGM_WRITE, 0);  // the output is new and empty
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
    const std::uint64_t rowsThatFit = kWicBandBytes / std::max<std::uint64_t>(rowBytes, 1);
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
