// A generated DBC of about 800 KB (1,200 messages of 8 signals, Intel and
// Motorola, signed and not, a value table, a comment and a cycle time each)
// and the same messages as a matrix (CSV, GBK as Excel saves it in a Chinese
// Windows): each imported five times in this process (decode, read, import,
// the loader's check of what it wrote), then once by velkctl signals import
// from its start to its end.
#include "bench/signals/ImportBench.h"

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/VelkctlProcess.h"
#include "signals/DbcEncoding.h"
#include "signals/DbcFile.h"
#include "signals/DbcImport.h"
#include "signals/MatrixCsv.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"

namespace {

const int kMessages = 1200, kSignals = 8;

long long NowUs()
{
    return static_cast<long long>(ClockMicrosSince(0));
}

std::string Dbc()
{
    std::string text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\nBS_:\n\nBU_: ECU RIG\n";
    std::string tail = "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 10000;\n";
    char line[256];
    for (int m = 0; m < kMessages; ++m) {
        const unsigned id = m < 600 ? 0x100 + m : (0x18FF0000u + m) | 0x80000000u;
        snprintf(line, sizeof line, "\nBO_ %u Message_%d: 8 ECU\n", id, m);
        text += line;
        for (int s = 0; s < kSignals; ++s) {
            const bool motorola = s % 2 == 1;
            snprintf(line, sizeof line, " SG_ Signal_%d_%d : %d|8@%c%c (0.125,-%d) [-%d|%d] \"km/h\" RIG\n", m, s,
                     motorola ? s * 8 + 7 : s * 8, motorola ? '0' : '1', s % 3 == 0 ? '-' : '+', s, s + 16, s + 200);
            text += line;
        }
        snprintf(line, sizeof line, "CM_ BO_ %u \"message %d, as the supplier wrote it\";\n", id, m);
        tail += line;
        snprintf(line, sizeof line, "BA_ \"GenMsgCycleTime\" BO_ %u %d;\n", id, 10 * (m % 10 + 1));
        tail += line;
        snprintf(line, sizeof line, "VAL_ %u Signal_%d_1 0 \"Off\" 1 \"On\" 2 \"No Fault\" 3 \"Error\" ;\n", id, m);
        tail += line;
    }
    return text + "\n" + tail;
}

std::string Matrix()
{
    // 报文名称,报文标识符,信号名称,起始位,信号长度,排列格式,数据类型,精度,偏移量,物理最小值,物理最大值,单位,信号值描述,报文周期 in GBK
    std::string text =
        "\xB1\xA8\xCE\xC4\xC3\xFB\xB3\xC6,\xB1\xA8\xCE\xC4\xB1\xEA\xCA\xB6\xB7\xFB,\xD0\xC5\xBA\xC5\xC3\xFB\xB3\xC6,"
        "\xC6\xF0\xCA\xBC\xCE\xBB,\xD0\xC5\xBA\xC5\xB3\xA4\xB6\xC8,\xC5\xC5\xC1\xD0\xB8\xF1\xCA\xBD,\xCA\xFD\xBE\xDD\xC0\xE0"
        "\xD0\xCD,\xBE\xAB\xB6\xC8,\xC6\xAB\xD2\xC6\xC1\xBF,\xCE\xEF\xC0\xED\xD7\xEE\xD0\xA1\xD6\xB5,\xCE\xEF\xC0\xED\xD7\xEE"
        "\xB4\xF3\xD6\xB5,\xB5\xA5\xCE\xBB,\xD0\xC5\xBA\xC5\xD6\xB5\xC3\xE8\xCA\xF6,\xB1\xA8\xCE\xC4\xD6\xDC\xC6\xDA(ms)\r\n";
    char line[256];
    for (int m = 0; m < kMessages; ++m) {
        const unsigned id = m < 600 ? 0x100 + m : 0x18FF0000u + m;
        char name[32], idText[16];
        snprintf(name, sizeof name, "Message_%d", m);
        snprintf(idText, sizeof idText, "0x%X", id);
        for (int s = 0; s < kSignals; ++s) {
            const bool motorola = s % 2 == 1;
            snprintf(line, sizeof line, "%s,%s,Signal_%d_%d,%d,8,%s,%s,0.125,-%d,-%d,%d,km/h,%s,%s\r\n",
                     s == 0 ? name : "", s == 0 ? idText : "",
                     m, s, motorola ? s * 8 + 7 : s * 8, motorola ? "Motorola" : "Intel", s % 3 == 0 ? "Signed" : "Unsigned",
                     s, s + 16, s + 200, s == 1 ? "\"0x0:Off;0x1:On;0x2:No Fault;0x3:Error\"" : "",
                     s == 0 ? std::to_string(10 * (m % 10 + 1)).c_str() : "");
            text += line;
        }
    }
    return text;
}

// In this process: what the command does between reading the file and writing it.
bool ImportOnce(const std::string& bytes, bool matrix, DbcImport* imported)
{
    std::string text, error;
    DbcEncoding taken;
    DbcFile file;
    std::vector<std::string> errors;
    if (!DecodeDbcText(bytes, kDbcAuto, GbkCodePage(), &text, &taken))
        return false;
    if (!(matrix ? ReadMatrixCsv(text, "bench.csv", &file, &errors) : ReadDbcFile(text, "bench.dbc", &file, &errors))) {
        fprintf(stderr, "%s\n", errors.front().c_str());
        return false;
    }
    return ImportDbc(file, matrix ? "bench.csv" : "bench.dbc", kDbcCodeBase, imported, &error);
}

} // namespace

int ImportBench()
{
    const struct { const char* what; const char* extension; bool matrix; std::string bytes; } kFiles[] = {
        { "DBC", ".dbc", false, Dbc() },
        { "matrix (CSV, GBK)", ".csv", true, Matrix() },
    };
    for (const auto& file : kFiles) {
        std::vector<long long> times;
        DbcImport imported;
        for (int i = 0; i < 5; ++i) {
            imported = DbcImport();
            const long long started = NowUs();
            if (!ImportOnce(file.bytes, file.matrix, &imported))
                return 1;
            times.push_back(NowUs() - started);
        }
        std::sort(times.begin(), times.end());
        printf("import %s: %zu bytes, %zu messages, %zu signals: fastest %.1f ms, median %.1f ms, slowest %.1f ms\n", file.what,
               file.bytes.size(), imported.messages, imported.signals, times.front() / 1e3, times[2] / 1e3, times.back() / 1e3);

        const std::string base = TempFile("vib"), input = base + file.extension, output = TempFile("vib");
        if (!WriteBenchFile(input, file.bytes))
            return 1;
        const long long started = NowUs();
        VelkctlProcess velkctl("signals import \"" + input + "\" --out \"" + output + "\"", "vib");
        const bool ended = velkctl.Started() && velkctl.Wait(60000);
        DWORD status = 1;
        GetExitCodeProcess(velkctl.Process(), &status);
        printf("velkctl signals import %s: %s in %.1f ms, start to end\n", file.what,
               ended && status == 0 ? "done" : "FAILED", (NowUs() - started) / 1e3);
        DeleteFileA(base.c_str());
        DeleteFileA(input.c_str());
        DeleteFileA(output.c_str());
    }
    return 0;
}
