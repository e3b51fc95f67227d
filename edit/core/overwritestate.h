#pragma once

namespace kamelo::edit {

// The four answers of the overwrite prompt. Closed is Escape or the close
// box: the user did not agree, so it counts as No.
enum class OverwriteAnswer { Yes, YesToAll, No, NoToAll, Closed };

// The yes-to-all / no-to-all memory of one run.
class OverwriteState {
public:
    enum class Decision { Write, Skip, Ask };

    // What to do with a destination; only an existing one is ever asked about.
    Decision decide(bool destinationExists) const;
    // Records an answer; true when the file is to be written.
    bool answer(OverwriteAnswer a);

    bool yesToAll() const { return yesToAll_; }
    bool noToAll() const { return noToAll_; }

private:
    bool yesToAll_ = false;
    bool noToAll_ = false;
};

} // namespace kamelo::edit
