%targetfilename o.txt
%for_each_datafile_row
%begin
%for_each_column
%begin
{row.number}={row.value}
%end
%end
%for_each_index
%begin
%for_each_idx_column
%begin
{thisidxcol.name}{thisidxcol.islast}
%end
%end
