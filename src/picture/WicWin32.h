#pragma once

// What the Windows builds' PNG writer and reader share to reach Windows' own codecs, the Windows Imaging Component
// (WIC): COM on the calling thread, owned references, a stream over our File, and an HRESULT in words.

#include <windows.h>
#include <objidl.h>
#include <ocidl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "base/Error.h"
#include "filesystem/File.h"

namespace gridport {

// A band of rows a codec takes or gives at once: at most this many bytes, but at least one row.
constexpr std::size_t kWicBandBytes = std::size_t{1} << 18;

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

// "0x88982F50": an HRESULT as Windows' documentation lists it.
inline std::string HresultText(HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return code;
}

// A codec's stream: every byte goes through the File, keeping the first failure's reason. It lives on the caller's
// stack and outlives every object that holds it, so its reference count is kept only as COM expects.
class FileStream final : public IStream {
public:
    // file is at its start and holds size bytes (0 for a new output); mode is STGM_READ or STGM_WRITE.
    FileStream(File& file, DWORD mode, std::uint64_t size) : file_(file), mode_(mode), end_(size) {}
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
        if (failure_) {
            return STG_E_READFAULT;
        }
        Expected<std::size_t> got = file_.Read(buffer, count);
        if (!got) {
            return Fail(got.error(), STG_E_READFAULT);
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
            return Fail(written.error(), STG_E_WRITEFAULT);
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
                return Fail(moved.error(), STG_E_SEEKERROR);
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
        stat->grfMode = mode_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD /*flags*/) override { return S_OK; }  // an output commits itself, later
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
    HRESULT Fail(const Error& error, HRESULT code) {
        if (!failure_) {
            failure_ = error;
        }
        return code;
    }

    File& file_;
    DWORD mode_;
    std::uint64_t position_ = 0;
    std::uint64_t end_;
    ULONG references_ = 1;
    std::optional<Error> failure_;
};

}  // namespace gridport
