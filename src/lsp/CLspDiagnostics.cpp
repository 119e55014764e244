#include "lsp/CLspDiagnostics.h"

#include <map>

#include "lsp/CLspPositions.h"

namespace {
// The protocol's severities by CDiagnostic::Kind.
constexpr int kSeverities[] = {1, 2, 3};
constexpr const char* kSource = "rozedov";

int severityOf(int kind)
{
    return kind >= 0 && kind < 3 ? kSeverities[kind] : 1;
}
}  // namespace

CLspDiagnostics::json CLspDiagnostics::toJson(const CLspDocument& document, const CDiagnostic& diagnostic)
{
    json item = {{"severity", severityOf(diagnostic.kind)}, {"source", kSource}};
    std::string message = diagnostic.detail.empty() ? diagnostic.text : diagnostic.detail;
    const json place = CLspPositions::location(document, diagnostic.pos);
    item["range"] = place.is_null() ? json{{"start", {{"line", 0}, {"character", 0}}},
                                           {"end", {{"line", 0}, {"character", 0}}}}
                                    : place["range"];
    if (diagnostic.code != -1) {
        item["code"] = diagnostic.code;
    }
    json related = json::array();
    for (const CDiagnosticNote& note : diagnostic.notes) {
        const json where = CLspPositions::location(document, note.pos);
        if (where.is_null()) {
            message += "\nnote: " + note.text;
        } else {
            related.push_back({{"location", where}, {"message", note.text}});
        }
    }
    if (!related.empty()) {
        item["relatedInformation"] = related;
    }
    item["message"] = message;
    return item;
}

std::vector<CLspDiagnostics::json> CLspDiagnostics::publish(CLspDocument& document)
{
    std::map<std::string, json> byUri;
    for (const std::string& uri : document.published) {
        byUri[uri] = json::array();
    }
    byUri[document.uri] = json::array();
    const CLspAnalysis& analysis = *document.analysis;
    for (const CDiagnostic& diagnostic : analysis.result.diagnostics) {
        std::string uri = analysis.uriOf(diagnostic.pos.fileIndex);
        if (uri.empty() || !diagnostic.pos.known()) {
            uri = document.uri;
        }
        byUri[uri].push_back(toJson(document, diagnostic));
    }
    std::vector<json> messages;
    document.published.clear();
    for (auto& [uri, list] : byUri) {
        if (!list.empty()) {
            document.published.insert(uri);
        }
        json params = {{"uri", uri}, {"diagnostics", std::move(list)}};
        if (uri == document.uri) {
            params["version"] = document.version;
        }
        messages.push_back(std::move(params));
    }
    return messages;
}
