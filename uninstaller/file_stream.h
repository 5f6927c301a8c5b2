// A file read or written through a small buffer, on the Win32 file functions alone: what the
// uninstaller's files need of a stream, without a C runtime (Windows 95 ships none). Bytes go
// to and from the disk as they are: there is no text mode, a line end is the bytes a caller
// writes.
#ifndef FILE_STREAM_H
#define FILE_STREAM_H

#include <stddef.h>

// How a file is opened. Others may read and write it meanwhile, as with the C library's
// streams; a program that holds it without letting others read keeps it from opening.
enum FileStreamMode {
    kStreamRead,    // an existing file, read from its start
    kStreamCreate,  // written from its start: created, or emptied when it exists
    kStreamAppend,  // written at its end, wherever another program has left the end: created
                    // when it does not exist
};

// What ReadStreamByte gives at the end of the file, or once a read has failed.
enum { kStreamEnd = -1 };

struct FileStream;

// Null when the file does not open (or no memory is left for the stream's buffer).
FileStream *OpenFileStream(const char *path, FileStreamMode mode);

// The next byte, 0 to 255, or kStreamEnd.
int ReadStreamByte(FileStream *stream);
// Up to `size` bytes into `data`; the number read, fewer only at the end or on a failure.
size_t ReadStreamBlock(FileStream *stream, void *data, size_t size);

// Hands the bytes over; they reach the system when the buffer fills, at a seek, a flush or the
// close. False when a write to the system has failed or written less than it was given, now
// or earlier: the stream's error flag is then set and nothing more is written.
bool WriteStreamBlock(FileStream *stream, const void *data, size_t size);

// Moves to `offset` bytes from the start; a written stream first hands its buffer over.
// False (the error flag set) when that fails. An appending stream writes at the end all the same.
bool SeekStream(FileStream *stream, long offset);

// The error flag: a read, write or seek has failed.
bool StreamFailed(const FileStream *stream);

// Hands the buffer over and asks the system to put what it holds of the file on the disk
// (FlushFileBuffers). False when either fails or an earlier write had.
bool FlushStream(FileStream *stream);

// Hands the buffer over and closes the file; the stream is gone whatever the result. A
// written stream: true only when every byte written through it, the buffer's last ones
// included, went to the system in full and the file closed. A read stream: whether it closed.
bool CloseFileStream(FileStream *stream);

#endif
