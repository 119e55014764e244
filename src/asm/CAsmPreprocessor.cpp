#include "asm/CAsmPreprocessor.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "asm/CAsmOptions.h"
#include "asm/CCommonModules.h"
#include "util/CProgramExit.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kPreprocessorName = "cc1";

// The fixed arguments that follow the input name.
constexpr const char* kFixedArguments[] = {
    "-oa.ppf", "-lang-asm", "-D__HASH__=#", "-D__VANTIC_TC__",
};

bool isExistingFile(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error) && !error;
}

// The program's directory made absolute against the starting directory;
// empty when that has no absolute form.
fs::path programDirectory(const std::string& programPath)
{
    fs::path directory = fs::path(programPath).parent_path();
    if (directory.is_absolute()) {
        return directory;
    }
    std::error_code error;
    fs::path start = fs::current_path(error);
    if (error) {
        return {};
    }
    for (const fs::path& element : directory) {
        if (element == "..") {
            if (!start.has_relative_path()) {
                return {};
            }
            start = start.parent_path();
        } else if (element != "." && !element.empty()) {
            start /= element;
        }
    }
    return start;
}

fs::path executableDirectory()
{
    std::error_code error;
    fs::path self = fs::canonical("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path();
}
}  // namespace

std::string CAsmPreprocessor::locatePreprocessor() const
{
    const fs::path candidates[] = {
        programDirectory(m_common->m_options->m_programPath),
        executableDirectory(),
    };
    for (const fs::path& directory : candidates) {
        if (!directory.empty() && isExistingFile(directory / kPreprocessorName)) {
            return (directory / kPreprocessorName).string();
        }
    }
    return kPreprocessorName;
}

std::vector<std::string> CAsmPreprocessor::buildArguments(const std::string& preprocessor) const
{
    const CAsmOptions& options = *m_common->m_options;
    std::vector<std::string> arguments = {preprocessor, "-E", "-quiet", m_inputName};
    arguments.insert(arguments.end(), std::begin(kFixedArguments), std::end(kFixedArguments));
    for (const std::string& path : options.m_includePaths) {
        arguments.push_back("-I" + path);
    }
    for (const std::string& define : options.m_defines) {
        arguments.push_back("-D" + define);
    }
    for (const std::string& name : options.m_undefines) {
        arguments.push_back("-U" + name);
    }
    return arguments;
}

std::string CAsmPreprocessor::shellQuote(const std::string& argument)
{
    // Inside single quotes the shell expands nothing; a single quote itself
    // is written as '\'' (close, escaped quote, reopen).
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string CAsmPreprocessor::buildCommand(const std::vector<std::string>& arguments)
{
    std::string command;
    for (const std::string& argument : arguments) {
        if (!command.empty()) {
            command += ' ';
        }
        command += shellQuote(argument);
    }
    return command;
}

void CAsmPreprocessor::run()
{
    const std::string command = buildCommand(buildArguments(locatePreprocessor()));
    std::cout.flush();
    if (std::system(command.c_str()) != 0) {
        CProgramExit::stop(1);
    }
}
