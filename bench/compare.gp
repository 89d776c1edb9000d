# Events per second per workload: the module beside spdlog beside the write(2) limits.
# usage: gnuplot -e "data='compare.dat'; out='compare.png'" compare.gp
set terminal pngcairo size 1100,560 font ",10"
set output out
set title "Events per second (medians; higher is better)"
set style data histogram
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set logscale y
set format y "%.0s%c"
set ylabel "events/s (log scale)"
set xtics rotate by -20 scale 0
set key top left
set grid ytics
plot data using 2:xtic(1) title "module", '' using 3 title "spdlog", '' using 4 title "write() 64 KiB chunks", '' using 5 title "one write() per event"
