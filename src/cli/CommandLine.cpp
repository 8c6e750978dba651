#include "cli/CommandLine.h"

namespace krv::cli {

namespace {

// CLI11 names the option before a colon in its "value missing" messages.
std::string optionNamed(const CLI::Error& error) {
    const std::string text = error.what();
    return text.substr(0, text.find(':'));
}

}  // namespace

CommandLine::CommandLine(const std::string& program, const std::string& description) : app_(description, program) {
    auto formatter = std::make_shared<CLI::Formatter>();
    formatter->label("Usage", "Uso");
    formatter->label("OPTIONS", "OPÇÕES");
    formatter->label("Positionals", "Argumentos");
    formatter->label("REQUIRED", "obrigatório");
    app_.formatter(formatter);
    app_.option_defaults()->group("Opções")->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app_.set_help_flag("-h,--help", "Mostra esta ajuda e sai");
    app_.set_version_flag("--version", version(), "Mostra a versão e sai");
    // Left-over words are reported by parse(), in Portuguese.
    app_.allow_extras();
}

CommandLine::Outcome CommandLine::parse(const std::vector<std::string>& words) {
    std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them last first
    try {
        app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return Outcome::Help;
    } catch (const CLI::CallForVersion&) {
        return Outcome::Version;
    } catch (const CLI::ArgumentMismatch& error) {
        throw UsageError("Falta o valor de " + optionNamed(error));
    } catch (const CLI::ParseError& error) {
        throw UsageError(std::string("Linha de comando inválida: ") + error.what());
    }
    if (const std::vector<std::string> extra = app_.remaining(); !extra.empty())
        throw UsageError("Opção desconhecida: " + extra.front());
    return Outcome::Run;
}

std::string CommandLine::help() const { return app_.help(); }

std::string CommandLine::version() const { return app_.get_name() + " " + KRV_VERSION + "\n"; }

}  // namespace krv::cli
