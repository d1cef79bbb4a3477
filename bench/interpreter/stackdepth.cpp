// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testhost.h"
#include <cstdio>
using namespace varnok; using namespace varnok::test;
int main(int argc, char **argv)
{
  int depth = argc > 1 ? atoi(argv[1]) : 200;
  TestHost host; host.createSkriptWindow(); host.createSkriptWindow();
  host.engine().limits().evaluationDepth = 1000000; host.engine().limits().callDepth = 1000000;
  char base; uintptr_t lo = (uintptr_t)&base;
  host.onYield = [&]{ char c; if ((uintptr_t)&c < lo) lo = (uintptr_t)&c; };
  QString s = lines({"EXEC Skript.User.NewFunction(Text(Tief) Text(TIEF))",
    "EXEC SkriptFenster(2).Text(Skript.User.Tief(%1))", "QUIT", ":TIEF",
    "IF Main.Bedingung.Mathe.Groesser(Skript.Funktion.Parameter(1) 0)",
    "EXEC Skript.Funktion.Rueckgabe(Main.Mathe.Plus(1 Skript.User.Tief(Main.Mathe.Minus(Skript.Funktion.Parameter(1) 1))))",
    "ENDIF", "EXITFUNCTION"}).arg(depth);
  host.runScript(s);
  printf("depth %d result %s msgs %lld stack %lu bytes, per level %lu\n", depth, qPrintable(host.skript(2)->text->text()), (long long)host.messages.size(), (unsigned long)((uintptr_t)&base - lo), (unsigned long)(((uintptr_t)&base - lo)/depth));
  // nested evaluation only
  QString nested; for (int i=0;i<depth;++i) nested += "Main.Text.Len("; nested += "1" + QString(depth, ')');
  EvalContext ctx; lo = (uintptr_t)&base;
  host.engine().Evaluate(nested, ctx);
}
