#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/CLspAnalysis.h"
#include "lsp/CLspDocument.h"
#include "lsp/CLspPreprocessor.h"

// The editor server: takes one message at a time and returns the messages
// to send, so the same object runs behind standard input and output, in the
// tests and under the fuzzer. A table sends each method to its handler; the
// documents are kept by address, each with the analysis of its newest
// version, made when that version arrives.
class CLspServer {
public:
    using json = nlohmann::json;

    explicit CLspServer(CLspPreprocess preprocess);

    // One message's JSON text in; the JSON texts to send out, in order.
    std::vector<std::string> handle(std::string_view body);
    // Assembles every document changed since its last analysis and returns
    // the diagnostics to publish. Changes are only noted as they come, so a
    // burst of them is assembled once, at its newest version: the caller
    // settles when no further message is waiting. A request about a changed
    // document assembles it first.
    std::vector<std::string> settle();
    // The answer to a message whose framing was broken.
    std::vector<std::string> malformed(const std::string& problem);

    // Whether "exit" has come, and the status to end with.
    bool exited() const { return m_exited; }
    int exitStatus() const { return m_shutdown ? 0 : 1; }

    // `rozedov --lsp`: serves standard input and output until "exit" or the
    // end of input; the process's exit status.
    static int main(const std::string& programPath);

    // What handlers answer with; null for a notification.
    using Handler = json (CLspServer::*)(const json& params);

private:
    json initialize(const json& params);
    json initialized(const json& params);
    json shutdown(const json& params);
    json exit(const json& params);
    json ignore(const json& params);
    json didOpen(const json& params);
    json didChange(const json& params);
    json didSave(const json& params);
    json didClose(const json& params);
    json didChangeConfiguration(const json& params);

    // Runs one method; throws CLspError for one that cannot be answered.
    json dispatch(const std::string& method, const json& params, bool isRequest);
    // The open document params.textDocument.uri names; throws when none is.
    CLspDocument& documentOf(const json& params);
    // documentOf, assembled at its newest version.
    CLspDocument& analyzedDocumentOf(const json& params);
    // Notes that the document needs assembling again.
    void schedule(CLspDocument& document);
    // Assembles the document's text as it stands now and queues its diagnostics.
    void analyze(CLspDocument& document);
    void readSettings(const json& settings);
    void notify(const std::string& method, json params);

    friend struct CLspMethodTable;

    CLspPreprocess m_preprocess;
    CLspSettings m_settings;
    std::map<std::string, std::unique_ptr<CLspDocument>, std::less<>> m_documents;
    std::vector<std::string> m_outgoing;
    bool m_initialized = false;
    bool m_shutdown = false;
    bool m_exited = false;
};
