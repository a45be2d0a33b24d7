example
1
6
@INPUT@
6

1


----------
2
6
@INPUT@
6

2

100
