#include "velkctl/Replay.h"

#include <fcntl.h>
#include <inttypes.h>
#include <io.h>
#include <stdio.h>

#include "velkctl/CommandOutcome.h"
#include "client/InputFile.h"
#include "client/ReceiveLoop.h"
#include "velkctl/PeriodicSend.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

namespace {

// Standard input cannot be read twice: the check pass keeps a copy of it in
// a temporary file, deleted when it is closed.
FILE* TemporaryCopy()
{
    char directory[MAX_PATH], path[MAX_PATH];
    if (GetTempPathA(MAX_PATH, directory) == 0 || GetTempFileNameA(directory, "vkr", 0, path) == 0)
        return NULL;
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        DeleteFileA(path);
        return NULL;
    }
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return NULL;
    }
    FILE* file = _fdopen(descriptor, "w+b");
    if (file == NULL)
        _close(descriptor);
    return file;
}

} // namespace

int CheckRecording(const std::string& path, CheckedRecording* recording)
{
    if (!FindInputRecording(path, &recording->files))
        return kExitIo;
    if (path == "-" && (recording->copy = TemporaryCopy()) == NULL) {
        PrintMessage("velkctl: cannot make a temporary file to hold standard input (error %lu)\n", GetLastError());
        return kExitIo;
    }
    recording->name = InputFileName(path);
    std::unique_ptr<SeriesReader> reader = ReadInputRecording(recording->files);
    reader->CopyTo(recording->copy);
    reader->Window(recording->from, recording->to);
    RecordedMessage message;
    while (reader->Next(&message))
        recording->span.Add(message.micros);
    int status = RecordReadStatus(*reader);
    if (recording->copy != NULL && status == kExitOk &&
        (fflush(recording->copy) != 0 || ferror(recording->copy))) {
        PrintMessage("velkctl: cannot keep a copy of standard input in a temporary file\n");
        status = kExitIo;
    }
    return status;
}

std::unique_ptr<SeriesReader> ReadCheckedRecording(const CheckedRecording& recording)
{
    std::unique_ptr<SeriesReader> reader;
    if (recording.copy != NULL) {
        rewind(recording.copy);
        reader.reset(new SeriesReader(recording.copy, recording.name));
    } else {
        reader = ReadInputRecording(recording.files);
    }
    reader->Window(recording.from, recording.to);
    return reader;
}

CheckedRecording::~CheckedRecording()
{
    if (copy != NULL)
        fclose(copy);
}

int ReplayMessages(const BusBinding& bus, HWND window, const CheckedRecording& recording,
                   const ReplayOptions& options)
{
    ReplaySchedule schedule(recording.span, options.speed);
    const uint64_t size = recording.span.messages;
    uint64_t count = kSendUntilStopped;
    if (size == 0)
        count = 0;
    else if (options.loops != 0 && options.loops <= kSendUntilStopped / size)
        count = options.loops * size;

    // The send pass reads the file again, each message as its deadline is
    // asked for; the check pass has vouched for every line.
    std::unique_ptr<SeriesReader> reader = ReadCheckedRecording(recording);
    RecordedMessage message;
    bool read = false;
    int exitCode = kExitOk;
    uint64_t posted = SendOnDeadlines("posted", count,
        [&](uint64_t n) {
            read = (n % size != 0 || reader->Rewind()) && reader->Next(&message);
            return read ? schedule.OffsetMicros(n / size, message.micros) : 0;
        },
        [&](uint64_t) {
            if (!read) {
                std::string why = reader->Error();
                if (why.empty())
                    PrintMessage("velkctl: replay: %s changed after it was checked\n", recording.name.c_str());
                else
                    PrintMessage("velkctl: replay: %s changed after it was checked: %s\n", recording.name.c_str(),
                                 why.c_str());
                exitCode = kExitIo;
                return false;
            }
            int result = PostRecordedMessage(bus, window, message);
            if (result >= 0)
                return true;
            PrintMessage("velkctl: replay: the message of line %" PRIu64 " was refused: %s (%d)\n", message.line,
                         VelkResultText(result), result);
            exitCode = kExitRefused;
            return false;
        });
    if (posted != 0)
        NoteIfBusEndsWithVelkctl(bus, N_("these messages are lost"));
    return exitCode;
}
