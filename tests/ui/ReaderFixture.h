// The window with the reader's features bound, as the program binds them.
#pragma once

#include "UiFixture.h"

#include "reader/Reader.h"

class ReaderTest : public UiTest {
protected:
    void TearDown() override;
    void OpenReader(const TReaderOptions& options = {});
    // Turns the wheel: up (away from the reader) for positive notches.
    void Wheel(int notches);
    std::string Title() const;

    std::unique_ptr<TReader> Reader;
};
