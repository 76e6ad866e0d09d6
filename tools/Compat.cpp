// compat: the compatibility matrix of a server's items against several
// renderers, strictly and under matching rules, as text, JSON and one
// self-contained HTML page.
#include "ProtocolInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <map>

namespace kuvana {

namespace {

// One letter a rule, in bit order, for the text matrix.
const char kRuleLetters[] = "AWCPLBD";

std::string letters(uint32_t rules)
{
    std::string text;
    for (size_t i = 0; i < 7; i++)
        if ((rules & kMatchRules[i]) != 0)
            text += kRuleLetters[i];
    return text;
}

struct Renderer {
    std::string name, path, source;
    ListPtr sink;
    uint32_t entries = 0;
};

struct Cell {
    const char *state = "no"; // yes, rules, no
    int index = -1;           // the entry that plays the item strictly, or under rules
    std::string entry;
    uint32_t rules = 0;       // the rules that make it play (or that take a strict match away)
    std::string mark, reason;
};

// Kept apart from the single rules: cells that play only with several rules.
const char *const kTogether = "several-rules";

std::vector<std::string> rendererFiles(const Args &args)
{
    std::vector<std::string> files = args.values("--renderer");
    if (!files.empty())
        return files;
    std::string dir = examplesDir(args.value("--examples")) + "/renderers";
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
                files.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    if (files.empty())
        usageError("no renderer: give --renderer SINK-LIST (none found in '%s')", dir.c_str());
    std::sort(files.begin(), files.end());
    return files;
}

Renderer loadRenderer(Io &io, const std::string &path)
{
    Renderer r;
    r.path = path;
    r.name = path.substr(path.rfind('/') + 1);
    r.name = r.name.substr(0, r.name.rfind('.'));
    std::string text = readFileOrStdin(io, path);
    size_t at = text.find("# source:");
    if (at != std::string::npos)
        r.source = trim(text.substr(at + 9, text.find('\n', at) - at - 9));
    r.sink.reset(kuDLNAProtocolInfoList_New(stripComments(text).c_str()));
    r.entries = kuDLNAProtocolInfoList_GetCount(r.sink.get());
    if (r.entries == 0)
        inputError("'%s' has no valid sink entry", path.c_str());
    return r;
}

Cell judge(kuDLNAProtocolInfoList *sink, kuDLNAProtocolInfo *item, std::map<std::string, int> &changes)
{
    Cell c;
    std::vector<RuleVerdict> verdicts = ruleVerdicts(sink, item);
    int32_t index = -1;
    if (kuDLNAProtocolInfoList_MatchWithRules(sink, item, 0, &index, nullptr)) {
        KuString text(kuDLNAProtocolInfo_GetStr(kuDLNAProtocolInfoList_GetProtocolInfoAt(sink, index)));
        c.state = "yes";
        c.index = index;
        c.entry = str(text);
        c.mark = "yes";
        c.reason = format("plays: entry %d: %s", index + 1, text.get());
        for (const RuleVerdict &v : verdicts) {
            c.rules |= v.rules;
            c.mark = "yes/" + letters(v.rules);
            c.reason += "; " + v.reason;
            changes[kuDLNAProtocolInfo_GetMatchRuleName(v.rules)]++;
        }
        return c;
    }
    for (const RuleVerdict &v : verdicts) {
        if (v.index < 0)
            continue;
        if (c.index < 0) {
            c.index = v.index;
            c.entry = v.entry;
        }
        c.state = "rules";
        c.rules |= v.rules;
        c.reason += (c.reason.empty() ? "" : "; ") + v.reason;
        const char *name = kuDLNAProtocolInfo_GetMatchRuleName(v.rules);
        changes[name != nullptr ? name : kTogether]++;
    }
    c.mark = c.index < 0 ? "no" : "+" + letters(c.rules);
    if (c.index < 0)
        c.reason = "no sink entry plays it, under any rule";
    return c;
}

// The page: the matrix built in the browser from the embedded data, so it
// needs nothing beyond the file. '<' is written as \u003c inside the JSON so
// no text in it can end the script element.
const char kPageHead[] = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>kuvana compat</title>
<style>
body{font-family:sans-serif;margin:1em}
table{border-collapse:collapse;margin-bottom:1em}
th,td{border:1px solid #bbb;padding:2px 6px;font-size:13px}
th.item{text-align:left}
td.yes{background:#c8f0c8} td.rules{background:#f8e8a0} td.no{background:#f4c0c0}
</style></head><body>
<h1>Which renderer plays which item</h1>
<p id="summary">The matrix is built by the script of this page.</p>
<p>Green: strict match. Yellow: plays only under the named rules. Red: no entry plays it.
The reason shows on hover.</p>
<table id="matrix"></table>
<h2>Cells changed by each rule</h2>
<table id="changes"></table>
<script type="application/json" id="data">)";

const char kPageTail[] = R"(</script>
<script>
(function () {
  var d = JSON.parse(document.getElementById('data').textContent);
  var m = document.getElementById('matrix');
  var head = m.insertRow();
  var corner = document.createElement('th');
  corner.textContent = 'item';
  head.appendChild(corner);
  d.renderers.forEach(function (r) {
    var th = document.createElement('th');
    th.textContent = r.name;
    th.title = r.entries + ' sink entries' + (r.source ? ', ' + r.source : '');
    head.appendChild(th);
  });
  var count = 0;
  d.items.forEach(function (item, i) {
    var row = m.insertRow();
    var th = document.createElement('th');
    th.className = 'item';
    th.textContent = item.name;
    th.title = item.offered;
    row.appendChild(th);
    d.cells[i].forEach(function (c, r) {
      var td = row.insertCell();
      td.className = 'cell ' + c.state;
      td.setAttribute('data-item', item.name);
      td.setAttribute('data-renderer', d.renderers[r].name);
      td.textContent = c.state === 'rules' ? c.rules.join(', ') :
          c.rules.length ? 'yes, not under ' + c.rules.join(', ') : c.mark;
      td.title = c.reason;
      count++;
    });
  });
  var t = document.getElementById('changes');
  Object.keys(d.changes).forEach(function (name) {
    var row = t.insertRow();
    row.insertCell().textContent = name;
    row.insertCell().textContent = d.changes[name];
  });
  document.getElementById('summary').textContent = d.items.length + ' items against ' +
      d.renderers.length + ' renderers: ' + count + ' cells';
  m.setAttribute('data-cells', String(count));
})();
</script>
</body></html>
)";

void writeHtml(Io &io, const std::string &path, const std::string &data)
{
    if (!io.filesAllowed)
        inputError("cannot write '%s': this console does not write files", path.c_str());
    std::string page = kPageHead;
    for (char c : data)
        page += c == '<' ? std::string("\\u003c") : std::string(1, c);
    page += kPageTail;
    FILE *file = fopen(path.c_str(), "w");
    bool written = file != nullptr && fwrite(page.data(), 1, page.size(), file) == page.size();
    if (file != nullptr && fclose(file) != 0)
        written = false;
    if (!written)
        inputError("cannot write '%s': %s", path.c_str(), strerror(errno));
}

int compat(Io &io, const Args &args)
{
    args.expect(0, 0);
    std::string server = args.has("--server") ? args.value("--server")
                                              : examplesDir(args.value("--examples")) +
                                                    "/server-profiles.txt";
    std::vector<ServerItem> items = readProfiles(server, io);
    if (items.empty())
        inputError("'%s' has no items", server.c_str());
    std::vector<Renderer> renderers;
    for (const std::string &file : rendererFiles(args))
        renderers.push_back(loadRenderer(io, file));
    std::map<std::string, int> changes;
    std::vector<std::vector<Cell>> cells;
    for (ServerItem &item : items) {
        item.offered = offer(item);
        InfoPtr info(kuDLNAProtocolInfo_New(item.offered.data(), item.offered.size()));
        cells.emplace_back();
        for (const Renderer &r : renderers)
            cells.back().push_back(judge(r.sink.get(), info.get(), changes));
    }
    std::vector<std::string> changeNames;
    for (uint32_t rule : kMatchRules)
        changeNames.push_back(kuDLNAProtocolInfo_GetMatchRuleName(rule));
    changeNames.push_back(kTogether);

    Json j;
    j.beginObject().field("server", server).key("items").beginArray();
    for (const ServerItem &item : items)
        j.beginObject().field("name", item.name + (item.protectedCopy ? " (DTCP-IP)" : ""))
            .field("offered", item.offered).endObject();
    j.endArray().key("renderers").beginArray();
    for (const Renderer &r : renderers)
        j.beginObject().field("name", r.name).field("file", r.path).field("source", r.source)
            .field("entries", r.entries).endObject();
    j.endArray().key("cells").beginArray();
    for (const auto &row : cells) {
        j.beginArray();
        for (const Cell &c : row) {
            j.beginObject().field("state", c.state).key("index");
            c.index < 0 ? j.null() : j.value(c.index + 1);
            j.field("entry", c.index < 0 ? nullptr : c.entry.c_str()).key("rules").beginArray();
            for (uint32_t rule : kMatchRules)
                if ((c.rules & rule) != 0)
                    j.value(kuDLNAProtocolInfo_GetMatchRuleName(rule));
            j.endArray().field("mark", c.mark).field("reason", c.reason).endObject();
        }
        j.endArray();
    }
    j.endArray().key("changes").beginObject();
    for (const std::string &name : changeNames)
        j.field(name, changes[name]);
    j.endObject().field("cellCount", (unsigned long)(items.size() * renderers.size()));
    std::string data = addWarnings(j, io).endObject().text();
    if (args.has("--html"))
        writeHtml(io, args.value("--html"), data);
    if (args.has("--json")) {
        io.out.put(data);
        return kOk;
    }

    Output &o = io.out;
    o.print("%zu items of %s against %zu renderers\n\n", items.size(), server.c_str(),
            renderers.size());
    size_t nameWidth = 20;
    for (const ServerItem &item : items)
        nameWidth = std::max(nameWidth, item.name.size() + (item.protectedCopy ? 10 : 0) + 2);
    for (size_t r = 0; r < renderers.size(); r++)
        o.print("  %zu  %s: %u entries%s%s\n", r + 1, renderers[r].name.c_str(),
                renderers[r].entries, renderers[r].source.empty() ? "" : ", source ",
                renderers[r].source.c_str());
    o.print("\n%-*s", int(nameWidth), "item");
    for (size_t r = 0; r < renderers.size(); r++)
        o.print(" %-8zu", r + 1);
    o.put("\n");
    for (size_t i = 0; i < items.size(); i++) {
        std::string name = items[i].name + (items[i].protectedCopy ? " (DTCP-IP)" : "");
        o.print("%-*s", int(nameWidth), name.c_str());
        for (const Cell &c : cells[i])
            o.print(" %-8s", c.mark.c_str());
        o.put("\n");
    }
    o.put("\nyes: strict match; +X: plays only under rules X; yes/D: a strict match that\n"
          "adts-apart takes away; no: no entry plays it. Rules:\n ");
    for (size_t i = 0; i < 7; i++)
        o.print("%s %c %s", i == 0 ? "" : ",", kRuleLetters[i],
                kuDLNAProtocolInfo_GetMatchRuleName(kMatchRules[i]));
    o.print("\n\ncells changed by each rule (of %zu):\n", items.size() * renderers.size());
    for (const std::string &name : changeNames)
        o.print("  %-20s %d\n", name.c_str(), changes[name]);
    if (args.has("--html"))
        o.print("\nwrote %s\n", args.value("--html").c_str());
    return kOk;
}

} // namespace

void addCompatCommand(std::vector<Command> &commands)
{
    commands.push_back({"compat", "",
                        "[--json] [--server PROFILE-TABLE] [--renderer SINK-LIST]... [--html FILE]",
                        "a server's items against several renderers, strictly and under rules",
                        "PROFILE-TABLE is a profile table as the demo reads it (default: the\n"
                        "examples' server-profiles.txt); each SINK-LIST a renderer's sink list\n"
                        "file (default: every file of the examples' renderers directory). Each\n"
                        "cell says yes (strict match), +LETTERS (plays only under those rules) or\n"
                        "no; per rule the number of cells it changes follows. --html writes the\n"
                        "matrix as one self-contained page, the reasons on hover.\n",
                        {kJson, {"--server", true}, {"--renderer", true}, {"--html", true},
                         {"--examples", true}},
                        compat});
}

} // namespace kuvana
