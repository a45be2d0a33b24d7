#!/usr/bin/python3
"""What scikit-bio reads of the names as the Newick writer quotes them
(python3-skbio): tests/data/trees/quoted-labels-skbio.txt, one name a line.
The tree is the one of scripts/trees-golden.R, whose ape reading is kept
beside it."""
import io

import skbio

QUOTED = "('A B':1,'it''s':2,'x_y':3,'a,b(c):[d];':4);"
tree = skbio.TreeNode.read(io.StringIO(QUOTED))
with open("tests/data/trees/quoted-labels-skbio.txt", "w") as out:
    for tip in tree.tips():
        out.write(tip.name + "\n")
