#pragma once
// POSIX declares a function link() at global scope (unistd.h, which the standard library
// and Qt include), and a namespace cannot be declared with the name of a function in the
// same scope. The link's code therefore lives in velorax::link, and the using-directive
// lets every other file keep writing link::Link, link::kHeaderSize and so on: a name in
// front of :: is looked up among namespaces and types only, never functions.

namespace velorax::link {}

using namespace velorax;  // NOLINT(google-build-using-namespace): see above
