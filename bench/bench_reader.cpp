// The reader's looking back: the memory that 500 kept pages take, each page three long lines of
// Japanese text as the message area showed them, and the time to keep one.
//   bench_reader
#include "BenchFigure.h"

#include "platform/Label.h"
#include "platform/Panel.h"
#include "platform/ShiftJis.h"
#include "reader/LookBack.h"

#include <malloc.h>

#include <array>
#include <chrono>
#include <memory>

namespace {

size_t HeapInUse() { return mallinfo2().uordblks; }

}  // namespace

int main()
{
    TPanel page("Page1");
    TPanel area("PanelText");
    area.SetParent(&page);
    std::array<std::unique_ptr<TLabel>, 7> labels;
    for (size_t i = 0; i < labels.size(); ++i) {
        labels[i] = std::make_unique<TLabel>("Label" + std::to_string(i));
        labels[i]->SetParent(&area);
        labels[i]->Visible = i == 0;
    }
    // Three lines as wide as the message area holds, and more: 40 characters each.
    std::string line;
    for (int i = 0; i < 40; ++i)
        line += Sjis::FromUtf8(i % 2 ? "語" : "あ");

    size_t before = HeapInUse();
    auto start = std::chrono::steady_clock::now();
    const int pages = 1000;
    {
        TLookBack back(area);
        for (int n = 0; n < pages; ++n) {
            labels[0]->Caption = std::to_string(n) + line + "\r\n" + line + "\r\n" + line + "\r\n";
            back.PageShown(TakePage(area), true);
        }
        double keptMb = double(HeapInUse() - before) / (1024.0 * 1024.0);
        double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        std::printf("pages kept: %zu of %d shown\n", back.History().Count(), pages);
        PrintFigure("memory of 500 kept pages of three 40-character lines", keptMb, "MB", 2, 2);
        PrintFigure("time to keep a page", us / pages, "us", 100, 2);
    }
    return 0;
}
