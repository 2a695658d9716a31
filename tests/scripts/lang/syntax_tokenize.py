#!/usr/bin/env python3
# Reference for the tokenize cases of syntax.do: a separate reading of the
# rules (one pair of quotes around the whole text is removed; then blank-
# separated words (a quote inside a word is part of it), simple-quoted and
# compound-quoted strings, the latter nesting; quoted tokens lose their outer quotes; an empty token leaves its
# number undefined and no earlier positional local survives). Prints the
# lines that the do-file's display commands must show.

def compound_end(s, i):
    depth = 0
    while i < len(s):
        if s.startswith('`"', i):
            depth += 1
            i += 2
        elif s.startswith('"\'', i):
            i += 2
            depth -= 1
            if depth == 0:
                return i, False
        else:
            i += 1
    return i, True

def simple_end(s, i):
    j = s.find('"', i + 1)
    return (len(s), True) if j < 0 else (j + 1, False)

def tokenize(text):
    t = text.strip(' ')
    for opener, end, n in (('`"', compound_end, 2), ('"', simple_end, 1)):
        if t.startswith(opener):
            e, unclosed = end(t, 0)
            if not unclosed and not t[e:].strip(' '):
                t = t[n:e - n]
            break
    toks, i = [], 0
    while True:
        while i < len(t) and t[i] == ' ':
            i += 1
        if i >= len(t):
            return toks
        if t.startswith('`"', i):
            e, unclosed = compound_end(t, i)
            toks.append(t[i + 2:e if unclosed else e - 2])
        elif t[i] == '"':
            e, unclosed = simple_end(t, i)
            toks.append(t[i + 1:e if unclosed else e - 1])
        else:
            e = i
            while e < len(t) and t[e] != ' ':
                e += 1
            toks.append(t[i:e])
        i = e

def show(toks, n):
    toks = toks + [''] * n
    return ' '.join('[' + x + ']' for x in toks[:n])

print(show(tokenize('`"`"a "b c" d"\' e"\''), 3))
print(show(tokenize('x `"p `"q r"\' s"\' y'), 4))
print(show(tokenize('`"`""\' x `"`"y"\'"\'"\''), 5))
print(show(tokenize('"z"'), 5))
print(show(tokenize('a`"b"\'c d"e"f "g h"i'), 4))
arg = '`"a `"b"\' c"\' `""\' "d e" `"`""\'"\''
t = tokenize('`"' + arg + '"\'')
print('0=[%s] %s' % (arg, ' '.join('%d=[%s]' % (k + 1, (t + [''] * 5)[k]) for k in range(5))))
print('0=[%s] 1=[] 2=[]' % arg)
