#pragma once
#include "CommandLine.h"
#include "sweep/Sweep.h"
#include "sweep/SweepTargets.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What `tozelo-cli sweep` was asked to do, read and checked before anything is sent: the targets
// from the command line and from files less the exclusions, the sweep's settings, and how the
// result is written.
struct SweepArguments {
    // Each read of a target file that fails is a TargetFile::Error; any other wrong argument a
    // CommandLine::UsageError. standardInput is what "-" names.
    explicit SweepArguments(const CommandLine &args, std::FILE *standardInput = stdin);

    // The option names a sweep accepts, with a value, without, and with a list of numbers or without.
    static const std::vector<std::string> Options;
    static const std::vector<std::string> Flags;
    static const std::vector<std::string> Lists;

    SweepTargets targets;
    Sweep::Settings settings;
    std::string format; // text, csv, json, jsonl or xml
    std::string saveFile;
    std::string outputFile; // "" for standard output
    bool names = false;
    int namesTimeoutMs = 0;         // each lookup's
    int namesParallel = 0;          // lookups at once
    bool neighbours = false;        // the hosts of this host's links found by ARP or ND too, with their makers
    std::vector<uint16_t> tcpPorts; // those that answer none of echo, ARP or ND asked by TCP on these
    bool progress = false;          // even where standard error is no terminal
    bool quiet = false;             // no progress, nor the rate used: failures and what is missing alone
    std::string listing;            // answered or unanswered: those addresses alone, one a line, in place of format
    std::string command;            // as typed, for the XML
    std::string historyFile;        // where --record keeps the answers; "" without --record
};
