#pragma once
// One visitor for std::visit made of several lambdas, one per alternative.

namespace vistrel::player {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace vistrel::player
