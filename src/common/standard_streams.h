#pragma once
// The standard streams of the programs on this platform's terms (a file
// each): what they print goes out byte for byte, in UTF-8, everywhere.
namespace k8w {

// Called once at start, before anything is printed.
void PrepareStandardStreams();

} // namespace k8w
