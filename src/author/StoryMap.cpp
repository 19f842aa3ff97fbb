#include "author/StoryMap.h"

#include "platform/ShiftJis.h"

#include <algorithm>
#include <set>

namespace Author {

namespace {

using UnitRK::TCommand;

// A string in double quotes for dot.
std::string Quoted(const std::string& utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Utf8(const std::string& sjis) { return Sjis::ToUtf8(sjis); }

class TMapWriter {
public:
    explicit TMapWriter(const TOutline& outline) : Outline(outline)
    {
        Starts.push_back(0);
        for (int i = 1; i < Outline.Count(); ++i)
            if (UnitRK::IsLabelMark(Outline.Lines()[static_cast<size_t>(i)], 1))
                Starts.push_back(i);
    }

    std::string Write()
    {
        Out = "digraph story {\n"
              "  node [shape=box, fontname=\"IPAPGothic\"];\n"
              "  start [shape=circle, label=\"start\"];\n"
              "  start -> n0;\n";
        for (size_t s = 0; s < Starts.size(); ++s)
            WriteSection(s);
        if (Ends.count("end"))
            Out += "  end [shape=doublecircle, label=\"#End\"];\n";
        if (Ends.count("stop"))
            Out += "  stop [shape=octagon, label=\"#Stop\"];\n";
        return Out + "}\n";
    }

private:
    // The section that holds `line`: the last label line at or before it (the start section
    // before the first label).
    std::string NodeOf(int line) const
    {
        auto after = std::upper_bound(Starts.begin(), Starts.end(), line);
        return "n" + std::to_string(*(after - 1));
    }

    void Edge(const std::string& from, const std::string& to, const std::string& attributes = "")
    {
        Out += "  " + from + " -> " + to + (attributes.empty() ? "" : " [" + attributes + "]") + ";\n";
        if (to == "end" || to == "stop")
            Ends.insert(to);
    }

    // The edges of the menu shown at `line`; gives the line the section goes on with, past the
    // menu. A menu that fails to read never shows, and the player stays on the failing line.
    int WriteMenu(const std::string& node, int line, bool& falls)
    {
        const TMenu menu = Outline.Menu(line);
        if (menu.FailsAt >= 0)
            return menu.FailsAt;
        bool allJump = true;
        for (const TStep& step : Outline.Steps(line)) {
            if (step.Jump)
                Edge(node, NodeOf(step.To - 1), "label=" + Quoted(Utf8(step.Choice)));
            else
                allJump = false;
        }
        falls = !allJump;
        return static_cast<int>(menu.Choices.back().Line) + 1;
    }

    void WriteSection(size_t index)
    {
        const int first = Starts[index];
        const int next = index + 1 < Starts.size() ? Starts[index + 1] : Outline.Count();
        const std::string node = "n" + std::to_string(first);
        std::string title = index == 0 && !UnitRK::IsLabelMark(Outline.Lines()[0], 1)
                                ? std::string("(start)")
                                : Utf8(Outline.Lines()[static_cast<size_t>(first)]);
        std::string text;
        std::vector<std::string> pictures;
        bool falls = true;
        for (int line = first; line < next && falls;) {
            const TLineInfo& info = Outline.Info(line);
            if (info.Fails && info.Kind == TLineKind::Message) {
                falls = false;
                break;
            }
            if (info.Kind == TLineKind::Message && text.empty())
                text = Utf8(Outline.Lines()[static_cast<size_t>(line)]);
            if (info.Kind == TLineKind::Choice) {
                line = WriteMenu(node, info.Menu, falls);
                continue;
            }
            if (info.Kind == TLineKind::Command) {
                if (info.Command == TCommand::Cg)
                    pictures.push_back(info.Arg.empty() ? std::string("no picture") : Utf8(info.Arg));
                if (info.Command == TCommand::End) {
                    Edge(node, "end");
                    falls = false;
                } else if (info.Command == TCommand::Stop) {
                    Edge(node, "stop");
                    falls = false;
                } else if (info.Command == TCommand::Goto) {
                    const TStep step = Outline.Steps(line).front();
                    if (step.Jump) {
                        Edge(node, NodeOf(step.To - 1), "label=\"#Goto\"");
                        falls = false;
                    }
                }
            }
            ++line;
        }
        if (falls && next < Outline.Count())
            Edge(node, "n" + std::to_string(next), "style=dashed");

        std::string label = title;
        if (!text.empty())
            label += "\n" + text;
        if (!pictures.empty()) {
            label += "\n[";
            for (size_t i = 0; i < pictures.size(); ++i)
                label += (i ? ", " : "") + pictures[i];
            label += "]";
        }
        Out += "  " + node + " [label=" + Quoted(label) + "];\n";
    }

    const TOutline& Outline;
    std::vector<int> Starts;
    std::set<std::string> Ends;
    std::string Out;
};

}  // namespace

std::string StoryGraph(const TOutline& outline) { return TMapWriter(outline).Write(); }

}  // namespace Author
