#pragma once
// The standard streams of k8w-cli on this platform's terms (a file each):
// what a command prints goes out byte for byte, in UTF-8, everywhere.
namespace k8w::cli {

// Called once at start, before anything is printed.
void PrepareStandardStreams();

} // namespace k8w::cli
