// The Windows argv rules of a command line, the same for every back end: the
// POSIX side splits with them before exec, the Win32 side hands the line to
// CreateProcess, which reads it by them, and both quote with QuoteArgument.
#include "platform/process.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// Splits the arguments after the program name (the Windows argv rules).
void SplitArguments(const std::string& line, size_t pos, std::vector<std::string>* pArgv) {
    for (;;) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size())
            return;
        std::string arg;
        bool bQuoted = false;
        while (pos < line.size() && (bQuoted || !IsBlank(line[pos]))) {
            char c = line[pos];
            if (c == '\\') {
                size_t run = 0;
                while (pos < line.size() && line[pos] == '\\') {
                    ++run;
                    ++pos;
                }
                if (pos < line.size() && line[pos] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        arg += '"';
                        ++pos;
                    }
                    // An even run leaves the quote to open or close a run.
                } else {
                    arg.append(run, '\\');
                }
            } else if (c == '"') {
                if (bQuoted && pos + 1 < line.size() && line[pos + 1] == '"') {
                    arg += '"';
                    pos += 2;
                } else {
                    bQuoted = !bQuoted;
                    ++pos;
                }
            } else {
                arg += c;
                ++pos;
            }
        }
        pArgv->push_back(std::move(arg));
    }
}

// The first blank-separated word at pos, or the text between quotes.
size_t ProgramName(const std::string& line, size_t pos, std::string* pName) {
    if (line[pos] == '"') {
        size_t end = line.find('"', pos + 1);
        if (end == std::string::npos) {
            *pName = line.substr(pos + 1);
            return line.size();
        }
        *pName = line.substr(pos + 1, end - pos - 1);
        return end + 1;
    }
    size_t end = pos;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    *pName = line.substr(pos, end - pos);
    return end;
}

} // namespace

bool SplitCommandLine(const std::string& csCommandLine, std::vector<std::string>* pArgv) {
    pArgv->clear();
    size_t pos = 0;
    while (pos < csCommandLine.size() && IsBlank(csCommandLine[pos]))
        ++pos;
    if (pos >= csCommandLine.size())
        return false;
    std::string program;
    pos = ProgramName(csCommandLine, pos, &program);
    if (program.empty())
        return false;
    pArgv->push_back(program);
    SplitArguments(csCommandLine, pos, pArgv);
    return true;
}

std::string QuoteArgument(const std::string& csArgument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : csArgument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled and the quote escaped; others stay.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote every backslash is doubled.
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

bool ParseProgramCommandLine(const std::string& csCommandLine, std::vector<std::string>* pArgv) {
    if (!SplitCommandLine(csCommandLine, pArgv))
        return false;
    size_t start = csCommandLine.find_first_not_of(" \t");
    if (csCommandLine[start] == '"' || IsFile(pArgv->front()))
        return true;
    // An unquoted path with blanks: the shortest prefix up to a blank that
    // names a file is the program.
    for (size_t blank = csCommandLine.find_first_of(" \t", start); blank != std::string::npos;
         blank = csCommandLine.find_first_of(" \t", blank + 1)) {
        size_t next = csCommandLine.find_first_of(" \t", blank + 1);
        std::string candidate = csCommandLine.substr(
            start, (next == std::string::npos ? csCommandLine.size() : next) - start);
        if (IsFile(candidate)) {
            pArgv->assign(1, candidate);
            if (next != std::string::npos)
                SplitArguments(csCommandLine, next, pArgv);
            return true;
        }
    }
    return true;
}

} // namespace platform
