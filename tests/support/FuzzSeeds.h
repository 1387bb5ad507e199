#pragma once

#include <QByteArray>
#include <QString>

namespace cvg::test {

// When CVG_FUZZ_SEEDS names a folder, the inputs the tests build are kept
// there, one file per distinct input under the fuzz target's name, as the
// fuzzers' first corpus (scripts/fuzz). Does nothing otherwise.
void keepSeed(const char* target, const QByteArray& input);
void keepSeed(const char* target, const QString& text);

} // namespace cvg::test
