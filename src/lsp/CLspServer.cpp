#include "lsp/CLspServer.h"

#include <csignal>
#include <iostream>

#include "driver/CAsmPreprocessor.h"
#include "lsp/CLspCodeActions.h"
#include "lsp/CLspCompletion.h"
#include "lsp/CLspDiagnostics.h"
#include "lsp/CLspError.h"
#include "lsp/CLspFormatter.h"
#include "lsp/CLspHints.h"
#include "lsp/CLspNavigation.h"
#include "lsp/CLspSemanticTokens.h"
#include "lsp/CLspTransport.h"

namespace {
using json = nlohmann::json;

constexpr const char* kServerName = "rozedov";
constexpr const char* kServerVersion = "1.0.0";
// textDocumentSync.change: the whole text with every change.
constexpr int kFullSync = 1;

// A request about one document, answered from its newest analysis.
using Feature = json (*)(const CLspDocument& document, const json& params);

// A method and what answers it: a handler of the server's own, or a feature.
struct MethodRow {
    std::string_view method;
    CLspServer::Handler handler;
    Feature feature;
    // Whether it may come before "initialize" has been answered.
    bool beforeInitialize;
};
}  // namespace

// Every method the server knows, by its name.
struct CLspMethodTable {
    static constexpr MethodRow kRows[] = {
        {"initialize", &CLspServer::initialize, nullptr, true},
        {"initialized", &CLspServer::initialized, nullptr, false},
        {"shutdown", &CLspServer::shutdown, nullptr, false},
        {"exit", &CLspServer::exit, nullptr, true},
        {"$/cancelRequest", &CLspServer::ignore, nullptr, true},
        {"$/setTrace", &CLspServer::ignore, nullptr, true},
        {"textDocument/didOpen", &CLspServer::didOpen, nullptr, false},
        {"textDocument/didChange", &CLspServer::didChange, nullptr, false},
        {"textDocument/didSave", &CLspServer::didSave, nullptr, false},
        {"textDocument/didClose", &CLspServer::didClose, nullptr, false},
        {"workspace/didChangeConfiguration", &CLspServer::didChangeConfiguration, nullptr, false},
        {"textDocument/hover", nullptr, &CLspHints::hover, false},
        {"textDocument/inlayHint", nullptr, &CLspHints::inlayHints, false},
        {"textDocument/definition", nullptr, &CLspNavigation::definition, false},
        {"textDocument/references", nullptr, &CLspNavigation::references, false},
        {"textDocument/prepareRename", nullptr, &CLspNavigation::prepareRename, false},
        {"textDocument/rename", nullptr, &CLspNavigation::rename, false},
        {"textDocument/completion", nullptr, &CLspCompletion::completion, false},
        {"textDocument/documentSymbol", nullptr, &CLspNavigation::documentSymbols, false},
        {"textDocument/semanticTokens/full", nullptr, &CLspSemanticTokens::full, false},
        {"textDocument/codeAction", nullptr, &CLspCodeActions::codeActions, false},
        {"textDocument/formatting", nullptr, &CLspFormatter::formatting, false},
    };

    static const MethodRow* find(std::string_view method)
    {
        for (const MethodRow& row : kRows) {
            if (row.method == method) {
                return &row;
            }
        }
        return nullptr;
    }
};

namespace {
json errorResponse(const json& id, int code, const std::string& message)
{
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

std::string dump(const json& message)
{
    // Text that is no valid UTF-8 is sent with replacement characters.
    return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

const json& member(const json& object, const char* name)
{
    static const json kNull;
    return object.is_object() && object.contains(name) ? object[name] : kNull;
}

std::string stringMember(const json& object, const char* name)
{
    const json& value = member(object, name);
    if (!value.is_string()) {
        throw CLspError(CLspError::kInvalidParams, std::string("missing text field '") + name + "'");
    }
    return value.get<std::string>();
}

std::vector<std::string> stringList(const json& value)
{
    std::vector<std::string> list;
    if (value.is_array()) {
        for (const json& item : value) {
            if (item.is_string()) {
                list.push_back(item.get<std::string>());
            }
        }
    }
    return list;
}

// Applies one entry of didChange's contentChanges to the text.
void applyChange(CLspDocument& document, const json& change)
{
    std::string text = stringMember(change, "text");
    const json& range = member(change, "range");
    if (!range.is_object()) {
        document.text = std::move(text);
    } else {
        const json& start = member(range, "start");
        const json& end = member(range, "end");
        const auto offset = [&](const json& position) {
            const json& line = member(position, "line");
            const json& character = member(position, "character");
            if (!line.is_number_unsigned() || !character.is_number_unsigned()) {
                throw CLspError(CLspError::kInvalidParams, "a change with a bad range");
            }
            return document.lines.offsetOf(line.get<std::size_t>(), character.get<std::size_t>());
        };
        const std::size_t first = offset(start);
        const std::size_t last = std::max(first, offset(end));
        document.text.replace(first, last - first, text);
    }
    document.lines = CLspText(document.text);
}

json capabilities()
{
    return {
        {"textDocumentSync", {{"openClose", true}, {"change", kFullSync}, {"save", {{"includeText", false}}}}},
        {"hoverProvider", true},
        {"inlayHintProvider", true},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"renameProvider", {{"prepareProvider", true}}},
        {"completionProvider", {{"triggerCharacters", {",", " ", "."}}}},
        {"documentSymbolProvider", true},
        {"semanticTokensProvider", {{"legend", CLspSemanticTokens::legend()}, {"full", true}}},
        {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
        {"documentFormattingProvider", true},
    };
}
}  // namespace

CLspServer::CLspServer(CLspPreprocess preprocess) : m_preprocess(std::move(preprocess)) {}

std::vector<std::string> CLspServer::malformed(const std::string& problem)
{
    return {dump(errorResponse(nullptr, CLspError::kParseError, problem))};
}

// message = request | notification | response; anything else gets an error
std::vector<std::string> CLspServer::handle(std::string_view body)
{
    m_outgoing.clear();
    json message = json::parse(body, nullptr, false);
    if (message.is_discarded()) {
        return malformed("the message is no JSON");
    }
    if (!message.is_object()) {
        return {dump(errorResponse(nullptr, CLspError::kInvalidRequest, "the message is no JSON object"))};
    }
    const json& id = member(message, "id");
    const bool isRequest = message.contains("id");
    const json& method = member(message, "method");
    if (!method.is_string()) {
        // A response to a request of ours (the server sends none), or nonsense.
        if (isRequest && !message.contains("result") && !message.contains("error")) {
            m_outgoing.push_back(dump(errorResponse(id, CLspError::kInvalidRequest, "the message has no method")));
        }
        return std::move(m_outgoing);
    }
    json reply;
    try {
        json result = dispatch(method.get<std::string>(), member(message, "params"), isRequest);
        reply = {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
    } catch (const CLspError& error) {
        reply = errorResponse(id, error.code(), error.what());
    } catch (const std::exception& error) {
        reply = errorResponse(id, CLspError::kInternalError, std::string(CLspError::kInternalErrorText) + error.what());
    }
    if (isRequest) {
        // Notifications queued by the handler go first, its answer last.
        m_outgoing.push_back(dump(reply));
    }
    return std::move(m_outgoing);
}

json CLspServer::dispatch(const std::string& method, const json& params, bool isRequest)
{
    const MethodRow* row = CLspMethodTable::find(method);
    if (row == nullptr) {
        if (isRequest) {
            throw CLspError(CLspError::kMethodNotFound, "unknown method " + method);
        }
        return nullptr;  // notifications the server does not know are ignored
    }
    if (!m_initialized && !row->beforeInitialize) {
        throw CLspError(CLspError::kServerNotInitialized, "the server has not been initialized");
    }
    if (m_shutdown && isRequest && method != "shutdown") {
        throw CLspError(CLspError::kInvalidRequest, "the server is shutting down");
    }
    if (row->feature != nullptr) {
        return row->feature(analyzedDocumentOf(params), params);
    }
    return (this->*(row->handler))(params);
}

json CLspServer::initialize(const json& params)
{
    m_initialized = true;
    readSettings(member(params, "initializationOptions"));
    return {{"capabilities", capabilities()}, {"serverInfo", {{"name", kServerName}, {"version", kServerVersion}}}};
}

json CLspServer::initialized(const json& /*params*/)
{
    return nullptr;
}

json CLspServer::shutdown(const json& /*params*/)
{
    m_shutdown = true;
    return nullptr;
}

json CLspServer::exit(const json& /*params*/)
{
    m_exited = true;
    return nullptr;
}

json CLspServer::ignore(const json& /*params*/)
{
    return nullptr;
}

json CLspServer::didOpen(const json& params)
{
    const json& item = member(params, "textDocument");
    const std::string uri = stringMember(item, "uri");
    auto document = std::make_unique<CLspDocument>();
    document->uri = uri;
    document->text = stringMember(item, "text");
    document->lines = CLspText(document->text);
    const json& version = member(item, "version");
    document->version = version.is_number_integer() ? version.get<int>() : 0;
    schedule(*(m_documents[uri] = std::move(document)));
    return nullptr;
}

json CLspServer::didChange(const json& params)
{
    CLspDocument& document = documentOf(params);
    const json& version = member(member(params, "textDocument"), "version");
    // A change older than the text the server has is no change to it.
    if (version.is_number_integer() && version.get<int>() < document.version) {
        return nullptr;
    }
    const json& changes = member(params, "contentChanges");
    if (!changes.is_array()) {
        throw CLspError(CLspError::kInvalidParams, "didChange without contentChanges");
    }
    // Stale from the first change on: a later one that fails leaves the
    // text changed by those before it, and that text is what gets assembled.
    schedule(document);
    for (const json& change : changes) {
        applyChange(document, change);
    }
    if (version.is_number_integer()) {
        document.version = version.get<int>();
    }
    schedule(document);
    return nullptr;
}

json CLspServer::didSave(const json& params)
{
    const std::string uri = stringMember(member(params, "textDocument"), "uri");
    // An included file saved changes every document that includes it.
    for (auto& [key, document] : m_documents) {
        bool includes = key == uri;
        const CLspAnalysis* analysis = document->analysis.get();
        for (std::size_t i = 0; analysis != nullptr && !includes && i < analysis->result.files.size(); ++i) {
            includes = analysis->uriOf(static_cast<int>(i)) == uri;
        }
        if (includes) {
            schedule(*document);
        }
    }
    return nullptr;
}

json CLspServer::didClose(const json& params)
{
    CLspDocument& document = documentOf(params);
    // Its diagnostics go with it.
    for (const std::string& uri : document.published) {
        notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
    }
    m_documents.erase(document.uri);
    return nullptr;
}

json CLspServer::didChangeConfiguration(const json& params)
{
    const json& settings = member(params, "settings");
    readSettings(member(settings, "rozedov").is_object() ? member(settings, "rozedov") : settings);
    for (auto& [uri, document] : m_documents) {
        schedule(*document);
    }
    return nullptr;
}

CLspDocument& CLspServer::documentOf(const json& params)
{
    const std::string uri = stringMember(member(params, "textDocument"), "uri");
    const auto found = m_documents.find(uri);
    if (found == m_documents.end()) {
        throw CLspError(CLspError::kInvalidParams, "no open document " + uri);
    }
    return *found->second;
}

CLspDocument& CLspServer::analyzedDocumentOf(const json& params)
{
    CLspDocument& document = documentOf(params);
    if (document.stale) {
        analyze(document);
    }
    // Scanned at the first request after a change: diagnostics need no tokens.
    if (!document.tokensScanned) {
        document.tokens = CLspTokens::scan(document.text);
        document.tokensScanned = true;
    }
    return document;
}

void CLspServer::schedule(CLspDocument& document)
{
    document.stale = true;
}

std::vector<std::string> CLspServer::settle()
{
    m_outgoing.clear();
    for (auto& [uri, document] : m_documents) {
        if (document->stale) {
            analyze(*document);
        }
    }
    return std::move(m_outgoing);
}

void CLspServer::analyze(CLspDocument& document)
{
    document.stale = false;
    document.analysis = CLspAnalysis::run(document.uri, document.text, m_settings, m_preprocess);
    document.tokens.clear();
    document.tokensScanned = false;
    for (json& params : CLspDiagnostics::publish(document)) {
        notify("textDocument/publishDiagnostics", std::move(params));
    }
}

void CLspServer::readSettings(const json& settings)
{
    if (!settings.is_object()) {
        return;
    }
    if (settings.contains("includePaths")) {
        m_settings.includePaths = stringList(settings["includePaths"]);
    }
    if (settings.contains("defines")) {
        m_settings.defines = stringList(settings["defines"]);
    }
}

void CLspServer::notify(const std::string& method, json params)
{
    m_outgoing.push_back(dump({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}));
}

int CLspServer::main(const std::string& programPath)
{
    // A closed editor shows as a failed write, not as a signal that ends the server.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    CLspServer server(CLspPreprocessor(CAsmPreprocessor::locate(programPath)));
    std::string body;
    std::string problem;
    for (;;) {
        const CLspTransport::Read read = CLspTransport::readMessage(std::cin, body, problem);
        if (read == CLspTransport::Read::End) {
            return server.exitStatus();
        }
        std::vector<std::string> replies =
            read == CLspTransport::Read::Message ? server.handle(body) : server.malformed(problem);
        // Changes that came in together are assembled once, at their newest version.
        if (std::cin.rdbuf()->in_avail() <= 0) {
            for (std::string& note : server.settle()) {
                replies.push_back(std::move(note));
            }
        }
        for (const std::string& reply : replies) {
            std::cout << CLspTransport::frame(reply);
        }
        std::cout.flush();
        if (server.exited() || !std::cout) {
            return server.exited() ? server.exitStatus() : 1;
        }
    }
}
