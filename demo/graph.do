* Graphs in batch mode: a scatter of the example data drawn through gdi from a
* series set, kept in memory, saved as a graph file and exported as pictures.
use people, example clear
scatter lnwage age, title("Log wage by age") subtitle("1,000 people of the example data") size(0.8)
graph save demo_graph, replace
graph export demo_graph.png, replace
graph export demo_graph.svg, replace
