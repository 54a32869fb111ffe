#pragma once

// What the program says about itself.
namespace stanzel::product {

inline constexpr char kTitle[] = "Stanzel v0.1 Beta";
inline constexpr char kHomePage[] = "https://stanzel-notebook.org/";
inline constexpr char kContactAddress[] = "hello@stanzel-notebook.org";

} // namespace stanzel::product
