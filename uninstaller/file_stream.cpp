#include "file_stream.h"

#include <string.h>
#include <windows.h>

namespace {

enum { kBufferSize = 512 };

} // namespace

// The stream's record comes from the local heap, as a C library's does from its own.
struct FileStream {
    HANDLE handle;
    FileStreamMode mode;
    bool failed;
    DWORD start;  // reading: the file offset of the buffer's first byte
    DWORD held;   // reading: the bytes in the buffer; writing: the bytes waiting in it
    DWORD next;   // reading: the buffer index of the next byte
    unsigned char buffer[kBufferSize];
};

namespace {

bool Writing(const FileStream *stream) { return stream->mode != kStreamRead; }

bool MoveTo(HANDLE handle, long offset, DWORD method)
{
    return SetFilePointer(handle, offset, nullptr, method) != INVALID_SET_FILE_POINTER;
}

// Hands `size` bytes to the system in one write; nothing more once a write has failed. A
// write that takes fewer bytes than it was given (a disk filling up) is a failure too.
bool PutToSystem(FileStream *stream, const void *data, DWORD size)
{
    if (stream->failed)
        return false;
    if (size == 0)
        return true;
    DWORD written = 0;
    if ((stream->mode == kStreamAppend && !MoveTo(stream->handle, 0, FILE_END)) ||
        !WriteFile(stream->handle, data, size, &written, nullptr) || written != size) {
        stream->failed = true;
        return false;
    }
    return true;
}

// A written stream's buffer, to the system.
bool Drain(FileStream *stream)
{
    if (!Writing(stream))
        return true;
    DWORD held = stream->held;
    stream->held = 0;
    return PutToSystem(stream, stream->buffer, held);
}

// The next bytes of a read stream into its buffer; false at the end or on a failure.
bool Refill(FileStream *stream)
{
    if (stream->failed || Writing(stream)) {
        stream->failed = true;
        return false;
    }
    stream->start += stream->held;
    stream->held = stream->next = 0;
    DWORD got = 0;
    if (!ReadFile(stream->handle, stream->buffer, kBufferSize, &got, nullptr)) {
        stream->failed = true;
        return false;
    }
    stream->held = got;
    return got > 0;
}

} // namespace

FileStream *OpenFileStream(const char *path, FileStreamMode mode)
{
    // The block first: a stream that cannot be kept leaves no file opened behind it.
    FileStream *stream = static_cast<FileStream *>(LocalAlloc(LMEM_FIXED, sizeof(FileStream)));
    if (!stream)
        return nullptr;
    DWORD access = mode == kStreamRead ? GENERIC_READ : GENERIC_WRITE;
    DWORD creation = mode == kStreamRead ? OPEN_EXISTING : mode == kStreamCreate ? CREATE_ALWAYS : OPEN_ALWAYS;
    HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, creation,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        LocalFree(stream);
        return nullptr;
    }
    stream->handle = handle;
    stream->mode = mode;
    stream->failed = false;
    stream->start = stream->held = stream->next = 0;
    return stream;
}

int ReadStreamByte(FileStream *stream)
{
    if (stream->next == stream->held && !Refill(stream))
        return kStreamEnd;
    return stream->buffer[stream->next++];
}

size_t ReadStreamBlock(FileStream *stream, void *data, size_t size)
{
    unsigned char *to = static_cast<unsigned char *>(data);
    size_t done = 0;
    while (done < size && (stream->next < stream->held || Refill(stream))) {
        size_t n = stream->held - stream->next;
        if (n > size - done)
            n = size - done;
        memcpy(to + done, stream->buffer + stream->next, n);
        stream->next += static_cast<DWORD>(n);
        done += n;
    }
    return done;
}

bool WriteStreamBlock(FileStream *stream, const void *data, size_t size)
{
    if (!Writing(stream))
        stream->failed = true;
    const unsigned char *from = static_cast<const unsigned char *>(data);
    while (size > 0 && !stream->failed) {
        // A block that fills the buffer by itself goes to the system as it is.
        if (stream->held == 0 && size >= kBufferSize)
            return PutToSystem(stream, from, static_cast<DWORD>(size));
        size_t n = kBufferSize - stream->held;
        if (n > size)
            n = size;
        memcpy(stream->buffer + stream->held, from, n);
        stream->held += static_cast<DWORD>(n);
        from += n;
        size -= n;
        if (stream->held == kBufferSize)
            Drain(stream);
    }
    return !stream->failed;
}

bool SeekStream(FileStream *stream, long offset)
{
    if (offset < 0) {
        stream->failed = true;
        return false;
    }
    DWORD at = static_cast<DWORD>(offset);
    if (!Writing(stream) && at >= stream->start && at - stream->start <= stream->held) {
        stream->next = at - stream->start;  // still in the buffer
        return true;
    }
    if (!Drain(stream) || !MoveTo(stream->handle, offset, FILE_BEGIN)) {
        stream->failed = true;
        return false;
    }
    stream->start = at;
    stream->held = stream->next = 0;
    return true;
}

bool StreamFailed(const FileStream *stream) { return stream->failed; }

bool FlushStream(FileStream *stream)
{
    if (!Writing(stream))
        return !stream->failed;
    if (Drain(stream) && !FlushFileBuffers(stream->handle))
        stream->failed = true;
    return !stream->failed;
}

bool CloseFileStream(FileStream *stream)
{
    bool ok = Drain(stream);
    if (!CloseHandle(stream->handle))
        ok = false;
    LocalFree(stream);
    return ok;
}
