// dialogtool: starts a program, answers the dialogs it shows, and reports what they showed.
//
//   wine dialogtool.exe [--cwd DIR] [--env NAME=VALUE]... [--report FILE] [--timeout MS]
//        [--dialog CAPTION [--contains TEXT] [--shot FILE.bmp] [--delay MS]
//                  (--press ID | --press-text TEXT | --look)]...
//        [[--] PROGRAM]
//
// Each --dialog starts the description of the next expected dialog (in order); --look
// records it without pressing anything. Without a PROGRAM the dialogs are looked for among
// the windows already on the screen or still to come (e.g. one left open by --look). The report (also printed) lists, per dialog, its
// caption, style, rectangle, controls, the button pressed, and the exit code of the
// process that showed it once that process has ended. Texts are in the ANSI code page
// (932 under the Japanese locale); the report file holds them as they are.
// Exit code: 0 when every expected dialog was seen and answered, 1 otherwise, 2 on usage.
#include "dialog_answerer.h"
#include "process_runner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: dialogtool [--cwd DIR] [--env N=V] [--report FILE] [--timeout MS]\n"
                         "       [--dialog CAPTION [--contains T] [--shot F.bmp] [--delay MS]\n"
                         "                 (--press ID | --press-text T | --look)]... [[--] PROGRAM]\n");
    return 2;
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string Describe(const SeenDialog &d, size_t index)
{
    char line[256];
    std::string out;
    std::snprintf(line, sizeof line, "dialog %u: \"", static_cast<unsigned>(index));
    out += line + d.caption + "\" class " + d.className + " style " + Hex(d.style) + "\n";
    std::snprintf(line, sizeof line, "  rect %ld,%ld %ldx%ld  process %lu\n", d.rect.left, d.rect.top,
                  d.rect.right - d.rect.left, d.rect.bottom - d.rect.top, static_cast<unsigned long>(d.processId));
    out += line;
    for (const SeenControl &c : d.controls) {
        std::snprintf(line, sizeof line, "  control %d %s style %s: \"", c.id, c.className.c_str(), Hex(c.style).c_str());
        std::string text = c.text;
        for (size_t p = 0; (p = text.find('\n', p)) != std::string::npos; p += 2)
            text.replace(p, 1, "\\n");
        out += line + text + "\"\n";
    }
    if (d.pressed) {
        std::snprintf(line, sizeof line, "  pressed %d\n", d.pressedId);
        out += line;
    }
    if (!d.screenshot.empty())
        out += "  screenshot " + d.screenshot + "\n";
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    RunOptions options;
    std::vector<ExpectedDialog> sequence;
    std::string report, program;
    DWORD timeoutMs = 60000;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--") {
            if (hasValue)
                program = argv[++i];
            break;
        } else if (arg == "--cwd" && hasValue) {
            options.currentDir = argv[++i];
        } else if (arg == "--env" && hasValue) {
            std::string pair = argv[++i];
            size_t eq = pair.find('=');
            if (eq == std::string::npos)
                return Usage();
            options.env.push_back({pair.substr(0, eq), pair.substr(eq + 1)});
        } else if (arg == "--report" && hasValue) {
            report = argv[++i];
        } else if (arg == "--timeout" && hasValue) {
            timeoutMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--dialog" && hasValue) {
            ExpectedDialog expected;
            expected.caption = argv[++i];
            expected.timeoutMs = timeoutMs;
            sequence.push_back(expected);
        } else if (sequence.empty() && (arg == "--contains" || arg == "--shot" || arg == "--press" ||
                                        arg == "--press-text" || arg == "--look" || arg == "--delay")) {
            return Usage();
        } else if (arg == "--contains" && hasValue) {
            sequence.back().mustContain = argv[++i];
        } else if (arg == "--shot" && hasValue) {
            sequence.back().screenshotBmp = argv[++i];
        } else if (arg == "--delay" && hasValue) {
            sequence.back().settleMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--press" && hasValue) {
            sequence.back().pressId = std::atoi(argv[++i]);
        } else if (arg == "--press-text" && hasValue) {
            sequence.back().pressText = argv[++i];
        } else if (arg == "--look") {
            sequence.back().method = PressMethod::None;
        } else if (arg.compare(0, 2, "--") != 0 && program.empty()) {
            program = arg;
        } else {
            return Usage();
        }
    }
    if (program.empty() && sequence.empty())
        return Usage();

    DialogAnswerer answerer(sequence);
    options.timeoutMs = timeoutMs;
    RunResult started;
    if (!program.empty())
        started = RunProgram(program, options);
    bool answered = answerer.Wait(timeoutMs);

    std::string out;
    char line[256];
    if (program.empty()) {
    } else if (!started.started) {
        std::snprintf(line, sizeof line, "program could not be started (error %lu)\n",
                      static_cast<unsigned long>(started.startError));
        out += line;
    } else {
        std::snprintf(line, sizeof line, "program exit code %lu%s\n", static_cast<unsigned long>(started.exitCode),
                      started.timedOut ? " (killed after the time-out)" : "");
        out += line;
    }
    std::vector<SeenDialog> seen = answerer.Seen();
    for (size_t i = 0; i < seen.size(); ++i) {
        out += Describe(seen[i], i);
        if (seen[i].pressed) {
            RunResult owner = answerer.WaitProcess(i, timeoutMs);
            if (owner.started) {
                std::snprintf(line, sizeof line, "  its process ended with exit code %lu%s\n",
                              static_cast<unsigned long>(owner.exitCode), owner.timedOut ? " (killed)" : "");
                out += line;
            }
        }
    }
    if (!answered)
        out += "not answered: " + answerer.Failure() + "\n";
    std::fputs(out.c_str(), stdout);
    if (!report.empty()) {
        FILE *f = std::fopen(report.c_str(), "wb");
        if (f) {
            std::fputs(out.c_str(), f);
            std::fclose(f);
        }
    }
    return answered ? 0 : 1;
}
