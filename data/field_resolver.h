#pragma once
// Names of expressions resolved to the thread's table buffers: filters,
// ranges and find expressions refer to the fields of every table opened on
// the thread by their label ("ART:NoArt", any letter case), and to the memos
// "ART:Notas" and "ORD:Nota". Use it as a NameTable's fallback, after a
// view's own names.
#include <optional>
#include <string_view>

#include "data/thread_table_set.h"
#include "platform/expr/binding.h"

namespace tv::data {

class ThreadFieldResolver : public expr::NameResolver {
public:
    explicit ThreadFieldResolver(ThreadTableSet& set = tables()) : set_(&set) {}
    // A binding to the buffer's field itself: it reads the current value at
    // each evaluation.
    std::optional<expr::Binding> resolve(std::string_view name) const override;

private:
    ThreadTableSet* set_;
};

}  // namespace tv::data
