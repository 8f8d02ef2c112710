// Compiled scenario nodes. Every node is a Code with its operation code; the
// script machine interprets them (nodes carry no behaviour). Nodes share a
// few shapes (one child, two children, a label, ...); the evaluator casts a
// node to its shape by operation code. Nodes belong to the unit that made
// them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Code {
 public:
  virtual ~Code() = default;
  int32_t opcode = 0;
};

// The shapes.
struct NoChildCode : Code {};
struct OneChildCode : Code {
  Code* child = nullptr;
};
struct TwoChildCode : Code {
  Code* left = nullptr;
  Code* right = nullptr;
};
struct ThreeChildCode : Code {
  Code* condition = nullptr;
  Code* thenCode = nullptr;
  Code* elseCode = nullptr;
};
struct CallCode : Code {
  std::vector<Code*> exprs;  // the number expression first, then the arguments
};
struct LabelCode : Code {
  int32_t label = 0;
};

// Stores the operation code N in a node of the given shape.
template <int32_t N, class Shape = Code>
class CodeBase : public Shape {
 public:
  static constexpr int32_t kOpcode = N;
  CodeBase() { this->opcode = N; }
};

struct ConstBool : CodeBase<1> {
  bool value = false;
};
struct ConstInt : CodeBase<2> {
  int32_t value = 0;
};
struct ConstString : CodeBase<3> {
  std::u16string value;
};
struct SEval : CodeBase<4, OneChildCode> {};
struct SEvalNE : CodeBase<5, OneChildCode> {};
struct SCallUserfunc : CodeBase<6, CallCode> {};
struct SCallFar : CodeBase<7, TwoChildCode> {};  // left: scenario, right: sub
struct SCallSub : CodeBase<8, OneChildCode> {};
struct SJump : CodeBase<9, OneChildCode> {};
struct SReturn : CodeBase<10, NoChildCode> {};
struct SGoto : CodeBase<11, LabelCode> {};
struct SIf : CodeBase<12, LabelCode> {};
struct SIfNot : CodeBase<13, LabelCode> {};
struct SSwitch : CodeBase<14> {
  std::map<int32_t, int32_t> cases;  // key -> label
  int32_t defaultLabel = 0;
};
struct SLabel : CodeBase<15, LabelCode> {};
// No form produces it: a call of a script function.
struct SCallScriptFunc : CodeBase<16, CallCode> {};
struct EUMinus : CodeBase<17, OneChildCode> {};
struct EUBitwiseNot : CodeBase<18, OneChildCode> {};
struct EULogicalNot : CodeBase<19, OneChildCode> {};
struct EBAdd : CodeBase<20, TwoChildCode> {};
struct EBSub : CodeBase<21, TwoChildCode> {};
struct EBMul : CodeBase<22, TwoChildCode> {};
struct EBDiv : CodeBase<23, TwoChildCode> {};
struct EBMod : CodeBase<24, TwoChildCode> {};
struct EBShiftLeft : CodeBase<25, TwoChildCode> {};
struct EBShiftRight : CodeBase<26, TwoChildCode> {};
struct EBShiftRightUnsigned : CodeBase<27, TwoChildCode> {};
struct EBLess : CodeBase<28, TwoChildCode> {};
struct EBGreat : CodeBase<29, TwoChildCode> {};
struct EBLessEqual : CodeBase<30, TwoChildCode> {};
struct EBGreatEqual : CodeBase<31, TwoChildCode> {};
struct EBEqual : CodeBase<32, TwoChildCode> {};
struct EBNotEqual : CodeBase<33, TwoChildCode> {};
struct EBBitAnd : CodeBase<34, TwoChildCode> {};
struct EBBitOr : CodeBase<35, TwoChildCode> {};
struct EBBitXor : CodeBase<36, TwoChildCode> {};
struct EBLogicalAnd : CodeBase<37, TwoChildCode> {};
struct EBLogicalOr : CodeBase<38, TwoChildCode> {};
struct EBLogicalXor : CodeBase<39, TwoChildCode> {};
struct EThreeOp : CodeBase<40, ThreeChildCode> {};
struct IDRefAcc : CodeBase<41, NoChildCode> {};
struct IDRefReflag : CodeBase<42, NoChildCode> {};
struct IDRefSce : CodeBase<43, NoChildCode> {};
struct IDRefBit : CodeBase<44, OneChildCode> {};
struct IDRefFlag : CodeBase<45, OneChildCode> {};
struct IDRefWord : CodeBase<46, OneChildCode> {};
struct IDRefLocal : CodeBase<47, OneChildCode> {};
struct IDRefArgument : CodeBase<48, OneChildCode> {};
struct AssignAcc : CodeBase<49, OneChildCode> {};
struct AssignReflag : CodeBase<50, OneChildCode> {};
struct AssignBit : CodeBase<51, TwoChildCode> {};       // left: index, right: value
struct AssignFlag : CodeBase<52, TwoChildCode> {};
struct AssignWord : CodeBase<53, TwoChildCode> {};
struct AssignLocal : CodeBase<54, TwoChildCode> {};
struct AssignArgument : CodeBase<55, TwoChildCode> {};
struct PreincrAcc : CodeBase<56, NoChildCode> {};
struct PreincrReflag : CodeBase<57, NoChildCode> {};
struct PreincrBit : CodeBase<58, OneChildCode> {};
struct PreincrFlag : CodeBase<59, OneChildCode> {};
struct PreincrWord : CodeBase<60, OneChildCode> {};
struct PreincrLocal : CodeBase<61, OneChildCode> {};
struct PreincrArgument : CodeBase<62, OneChildCode> {};
struct PredecrAcc : CodeBase<63, NoChildCode> {};
struct PredecrReflag : CodeBase<64, NoChildCode> {};
struct PredecrBit : CodeBase<65, OneChildCode> {};
struct PredecrFlag : CodeBase<66, OneChildCode> {};
struct PredecrWord : CodeBase<67, OneChildCode> {};
struct PredecrLocal : CodeBase<68, OneChildCode> {};
struct PredecrArgument : CodeBase<69, OneChildCode> {};

// One compiled set or sub: the statements, the label table and the number
// of locals. The unit owns every node.
class CompiledUnit {
 public:
  CompiledUnit() {
    nodes_.reserve(3000);
    statements.reserve(100);
    lines.reserve(100);
  }

  // Creates a node owned by the unit.
  template <class T>
  T* make() {
    T* node = new T();
    nodes_.emplace_back(node);
    return node;
  }

  std::vector<Code*> statements;
  // Where each statement stands, beside the code (no node moves for it):
  // the file the unit was compiled from, and per statement index the line
  // it begins on (0: not known). Empty for a unit not made from a file.
  std::u16string path;
  std::vector<uint32_t> lines;
  // The line of statement `index`; 0 when not known.
  uint32_t lineOf(size_t index) const { return index < lines.size() ? lines[index] : 0; }
  int32_t numLocals = 0;
  // Label number -> index of its SLabel statement; -1 for a label that was
  // never defined.
  std::vector<int32_t> labels;

 private:
  std::vector<std::unique_ptr<Code>> nodes_;
};
