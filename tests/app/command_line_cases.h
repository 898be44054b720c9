// Command lines and the tails they must give, shared by the tests of
// CommandLineTail and the seeds of its fuzz target.
#pragma once

struct CommandLineCase
{
    const char* commandLine;
    const char* tail;
    bool doubleByte;  // read under code page 932, where 0x81 is a lead byte
};

const CommandLineCase UnquotedPathCases[] = {
    { "SettingsCleanup.exe -unwise", "-unwise", false },
    { "C:\\x\\setup.exe\t-unwise", "-unwise", false },
    { "setup.exe\x01\x1f -unwise", "-unwise", false },
    { "setup.exe", "", false },
    { "setup.exe   ", "", false },
    // A byte above 0x7f is part of the path, as is a quote inside it.
    { "C:\\Caf\xe9\\a\"b.exe -unwise", "-unwise", false },
    { "setup.exe \x7f-unwise", "\x7f-unwise", false },
    // Outside quotes a lead byte is just part of the path.
    { "C:\\\x81\x40.exe -unwise", "-unwise", true },
};

const CommandLineCase LeadingBlankCases[] = {
    { " -unwise", "-unwise", false },
    { "\t\t-unwise", "-unwise", false },
    { "", "", false },
    { "   ", "", false },
};

const CommandLineCase QuotedPathCases[] = {
    { "\"C:\\Program Files\\Orlo\\SettingsCleanup.exe\" -unwise", "-unwise", false },
    { "\"C:\\setup.exe\"-unwise", "-unwise", false },
    { "\"setup.exe\"  -unwise x", "-unwise x", false },
    { "\"setup.exe\" -unwise  ", "-unwise  ", false },
    { "\"C:\\Program Files\\never closed -unwise", "", false },
    { "\"", "", false },
    { "\"\" -unwise", "-unwise", false },
    // Only the first quote pair is the path.
    { "\"a b\" \"-unwise\"", "\"-unwise\"", false },
};

// In code page 932, 0x81 0x22 is one character: its trail byte is no quote.
const CommandLineCase DoubleByteCases[] = {
    { "\"C:\\\x81\"\\setup.exe\" -unwise", "\\setup.exe\" -unwise", false },
    { "\"C:\\\x81\"\\setup.exe\" -unwise", "-unwise", true },
};

// A lead byte at the end must not take the NUL along.
const CommandLineCase LeadByteAtTheEndCases[] = {
    { "\"abc\x81", "", true },
    { "\"\x81", "", true },
    { "\"\x81\x81\x81", "", true },
    { "\"\x81\"\" x", "x", true },
};
