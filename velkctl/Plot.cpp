#include "velkctl/Plot.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "windows/Clock.h"
#include "velkctl/Commands.h"
#include "client/InputFile.h"
#include "formats/RecordReader.h"

int PlotRecording(const std::string& path, const PlotRequest& request, const std::string& outPath)
{
    const uint64_t started = ClockTicks();
    FILE* file = OpenInputFile(path);
    if (file == NULL)
        return kExitIo;
    PlotCollector collector(request);
    uint64_t read = 0;
    {
        RecordReader reader(file, InputFileName(path));
        RecordedMessage message;
        while (reader.Next(&message)) {
            collector.Add(message);
            ++read;
        }
        int status = RecordReadStatus(reader);
        CloseInputFile(file);
        if (status != kExitOk)
            return status;
    }

    std::string svg = WriteSvg(collector.Chart());
    bool toStdout = outPath == "-";
    FILE* out = toStdout ? stdout : fopen(outPath.c_str(), "wb");
    if (out == NULL) {
        fprintf(stderr, "velkctl: cannot create '%s': %s\n", outPath.c_str(), strerror(errno));
        return kExitIo;
    }
    bool written = fwrite(svg.data(), 1, svg.size(), out) == svg.size();
    written = (toStdout ? fflush(out) == 0 : fclose(out) == 0) && written;
    if (!written) {
        fprintf(stderr, "velkctl: cannot write '%s': %s\n", outPath.c_str(), strerror(errno));
        if (!toStdout)
            remove(outPath.c_str());   // half a chart is no chart
        return kExitIo;
    }

    for (uint32_t code : collector.Undrawn())
        fprintf(stderr, "velkctl: %08" PRIx32 " has nothing to draw in %s (its legend says no data)\n", code,
                InputFileName(path).c_str());
    fprintf(stderr, "velkctl: plotted %" PRIu64 " of %" PRIu64 " messages to %s in %.3f s\n", collector.Drawn(), read,
            toStdout ? "standard output" : outPath.c_str(), static_cast<double>(ClockMicrosSince(started)) / 1e6);
    return kExitOk;
}
